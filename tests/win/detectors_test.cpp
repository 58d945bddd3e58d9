// The system's confirmation windows during a suspend, shown by the test while the power
// stand-in sleeps, and what the running program sends them.
#include <windows.h>

#include <tlhelp32.h>

#include <map>
#include <vector>

#include "tests/win/power_system.h"

namespace {

constexpr int kClosed = -1; // WM_CLOSE among the recorded command ids
std::map<HWND, std::vector<int>> received;

LRESULT CALLBACK recordAnswers(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COMMAND && message != WM_CLOSE)
        return DefWindowProcA(window, message, wParam, lParam);
    received[window].push_back(message == WM_CLOSE ? kClosed : static_cast<int>(wParam));
    return 0;
}

int threadCount(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof(entry), 0, 0, 0, 0, 0, 0};
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == processId;
    CloseHandle(snapshot);
    return count;
}

struct Shown {
    const char* className;
    const char* title;
    std::vector<int> expected;
};
struct Case {
    DWORD expand, expType;
    LONG pumpSent, fail;
    bool commanded;
    std::vector<Shown> shown; // in creation order: each new window goes above the others
};

using Detectors = powersystem::PowerSystemTest;

TEST_F(Detectors, AnswerTheConfirmationWindowsOfAnIdleSuspendOnly)
{
    WNDCLASSA windowClass = {0, recordAnswers, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "RnaEngClass"};
    RegisterClassA(&windowClass);
    windowClass.lpszClassName = "DetectorsTestWindow";
    RegisterClassA(&windowClass);
    const char* plain = "DetectorsTestWindow";
    const char* dialUp = "ダイヤルアップ ネットワーク";
    const std::vector<int> yes = {6, 1}, none;
    const Case cases[] = {
        {1, 1, 1, 0, false, {{plain, "共有", yes}}},
        {1, 1, 0, 0, false, {{plain, "Windows", yes}}},
        {1, 1, 0, 0, false, {{plain, "共有です", none}, {plain, "Windows 2000", none}, {"#32770", dialUp, none}}},
        {1, 1, 0, 0, false, {{"#32770", dialUp, yes}, {"RnaEngClass", "", none}}},
        {1, 1, 1, 0, false, {{"RnaEngClass", "", none}, {"#32770", dialUp, yes}}},
        {1, 1, 1, 0, true, {{plain, "共有", none}}},
        {1, 1, 0, ERROR_ACCESS_DENIED, false, {{plain, "アドバンスト パワー マネージメント", {kClosed}}}},
        {1, 1, 1, ERROR_ACCESS_DENIED, false, {}},
        {1, 0, 0, 0, false, {{plain, "共有", {7, 2}}, {"RnaEngClass", "", none}, {"#32770", dialUp, {7, 2}}}},
        {0, 1, 1, 0, false, {{plain, "共有", none}}},
    };
    DWORD running = ~0u;
    for (const Case& each : cases) {
        SCOPED_TRACE(&each - cases);
        if (running != each.expand * 2 + each.expType) {
            EXPECT_TRUE(running == ~0u || harness::stopSomnivar(instance_));
            setSetting("Expand", each.expand);
            setSetting("ExpType", each.expType);
            ASSERT_TRUE(start());
            running = each.expand * 2 + each.expType;
        }
        standIn_.reset();
        standin::PowerState& stand = standIn_.state();
        stand.notify = 1, stand.sleepMs = 20000; // until woken
        stand.pumpSent = each.pumpSent, stand.failWithError = each.fail;
        recorder_.clear();
        received.clear();
        const int before = threadCount(processId());
        ASSERT_TRUE(postTimer(TIMER_RESUME_GRACE));
        ASSERT_TRUE(each.commanded ? harness::postMessage(instance_.mainWindow, WM_COMMAND, 7, 0)
                                   : postTimer(TIMER_IDLE_EXPIRY));
        ASSERT_TRUE(waitCalls(1));
        EXPECT_EQ(threadCount(processId()), before + (each.expand && !each.commanded ? 2 : 0));
        std::vector<HWND> windows;
        for (const Shown& shown : each.shown) {
            windows.push_back(CreateWindowExA(0, shown.className, shown.title, WS_POPUP, 0, 0, 10, 10, nullptr,
                                              nullptr, GetModuleHandleA(nullptr), nullptr));
            SetWindowLongPtrA(windows.back(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordAnswers));
        }
        harness::pumpMessages(1500);
        auto asleep = received; // the answers must come during the sleep, not once it is over
        stand.wake = 1;
        harness::Box box;
        if (each.fail) { // without the power-management window the error waits for its 5 s search
            EXPECT_EQ(harness::waitMessageBox("Somnivar - Error", 3000, nullptr, processId()), !windows.empty());
            ASSERT_TRUE(harness::waitMessageBox("Somnivar - Error", 10000, &box, processId()));
            EXPECT_TRUE(harness::pressButton(box, IDOK));
        }
        EXPECT_TRUE(harness::waitUntil(
            [&] { return recorder_.events().size() == 2 && threadCount(processId()) == before; }, 5000));
        for (size_t i = 0; i < windows.size(); ++i) {
            const std::vector<int>& expected = each.shown[i].expected;
            EXPECT_EQ(received[windows[i]], expected) << harness::toUtf8(each.shown[i].title);
            EXPECT_EQ(each.fail ? expected : asleep[windows[i]], expected) << harness::toUtf8(each.shown[i].title);
            DestroyWindow(windows[i]);
        }
    }
}

} // namespace
