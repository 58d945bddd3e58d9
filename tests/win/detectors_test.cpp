// Confirmation windows shown while the power stand-in sleeps, and what the program sends them.
#include "harness/harness.h"

#include <tlhelp32.h>
#include <map>

#include "resources/resource.h"

using namespace harness;

namespace {

std::map<HWND, std::vector<int>> received; // WM_COMMAND ids; -1 for WM_CLOSE
const char* kDialUp = "ダイヤルアップ ネットワーク";

LRESULT CALLBACK recordAnswers(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND || message == WM_CLOSE) {
        received[window].push_back(message == WM_CLOSE ? -1 : static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND show(const char* title)
{
    const char* className = std::string(title) == kDialUp ? "#32770" : "RnaEngClass"; // a dialog
    HWND window = CreateWindowExA(0, className, title, WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordAnswers));
    return window;
}

class Detectors : public SomnivarTest {
protected:
    bool postTimer(UINT_PTR timer) { return postMessage(instance_.mainWindow, WM_TIMER, timer, 0); }
    int threads()
    {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry = {sizeof(entry)};
        int count = 0;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
            count += entry.th32OwnerProcessID == instance_.process.id;
        CloseHandle(snapshot);
        return count;
    }
    Instance instance_;
};
using Shown = std::pair<const char*, std::vector<int>>; // title ("" the engine), the ids it receives

TEST_F(Detectors, AnswerTheConfirmationWindowsOfAnIdleSuspendOnly)
{
    WNDCLASSA windowClass = {0, recordAnswers, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "RnaEngClass"};
    RegisterClassA(&windowClass);
    const struct { DWORD expand, expType; LONG pumpSent, fail; std::vector<Shown> shown; } cases[] = {
        {1, 1, 1, 0, {{"共有", {6, 1}}, {"", {}}, {kDialUp, {6, 1}}}},
        {1, 1, 0, 0, {{"Windows", {6, 1}}, {kDialUp, {6, 1}}, {"", {}}}},
        {1, 1, 0, 0, {{"共有です", {}}, {"Windows 2000", {}}, {kDialUp, {}}}},
        {1, 1, 0, ERROR_ACCESS_DENIED, {{"アドバンスト パワー マネージメント", {-1}}}},
        {1, 1, 1, ERROR_ACCESS_DENIED, {}},
        {1, 0, 0, 0, {{"共有", {7, 2}}, {"", {}}, {kDialUp, {7, 2}}}},
        {0, 1, 1, 0, {{"共有", {}}, {"", {}}, {kDialUp, {}}}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(&each - cases);
        const bool same = &each > cases && each.expand == (&each)[-1].expand && each.expType == (&each)[-1].expType;
        ASSERT_TRUE(same || ((&each == cases || stopSomnivar(instance_)) &&
                             storeSettings({{"Expand", each.expand}, {"ExpType", each.expType}}) &&
                             startSomnivar("", &instance_)));
        standin::State& stand = standIns();
        received.clear();
        stand.callCount = stand.returned = 0;
        const int threadsBefore = threads();
        stand.notify = 1 + each.pumpSent;
        stand.sleepMs = 3000;
        stand.failWithError = each.fail;
        // Under Wine, windows that come and go move the pointer, which the system counts as input:
        // switching on again restarts the countdown after them, so the expiry sees none.
        pumpMessages(300);
        ASSERT_TRUE(postMessage(instance_.mainWindow, WM_COMMAND, 256, 0));
        ASSERT_TRUE(postTimer(TIMER_RESUME_GRACE) && postTimer(TIMER_IDLE_EXPIRY));
        ASSERT_TRUE(waitUntil([] { return standIns().callCount >= 1; }, 10000));
        std::vector<HWND> windows; // each above those shown before it
        for (const auto& shown : each.shown)
            windows.push_back(show(shown.first));
        pumpMessages(1500);
        const auto asleep = received;
        Box box; // without the power-management window, the error follows its 5 s search
        EXPECT_TRUE(!each.fail || waitMessageBox("Somnivar - Error", 3000, &box) == !windows.empty());
        EXPECT_TRUE(!each.fail || (waitMessageBox("Somnivar - Error", 9000, &box) && pressButton(box, IDOK)));
        // Once the power call has returned, no watcher is left to answer.
        ASSERT_TRUE(waitUntil([&] { return standIns().returned == 1 && threads() == threadsBefore; }, 5000));
        windows.push_back(show("共有"));
        pumpMessages(500);
        EXPECT_TRUE(each.fail || received == asleep); // answered during the sleep, not after it
        for (size_t i = 0; i < windows.size(); ++i) {
            EXPECT_EQ(received[windows[i]], i < each.shown.size() ? each.shown[i].second : std::vector<int>()) << i;
            DestroyWindow(windows[i]);
        }
    }
}

} // namespace
