// The hook library across processes. An observing low-level hook of this process, installed
// before the program's, runs after them and records the flag as they left it for that very event.
#include "harness/harness.h"
#include "hooklib/vantrel.h"

using namespace harness;

namespace {

std::vector<std::pair<ULONG_PTR, int>> seen;  // the event's mark, the flag

template <typename Record>
LRESULT CALLBACK observe(int code, WPARAM message, LPARAM data)
{
    const ULONG_PTR mark = reinterpret_cast<const Record*>(data)->dwExtraInfo;
    if (code == HC_ACTION && (mark >> 12) == 0x56A47)
        seen.push_back({mark, MessageCheck()});
    return CallNextHookEx(nullptr, code, message, data);
}

// Clears the flag, injects one event and returns the flag as the library left it (-1: unseen).
int inject(INPUT input)
{
    static ULONG_PTR mark = 0x56A47000;
    (input.type == INPUT_MOUSE ? input.mi.dwExtraInfo : input.ki.dwExtraInfo) = ++mark;
    seen.clear();
    MessageSet(0);
    SendInput(1, &input, sizeof(input));
    int flag = -1;
    waitUntil([&] {
        for (const auto& event : seen)
            flag = event.first == mark ? event.second : flag;
        return flag != -1;
    }, 5000);
    return flag;
}

int mouse(DWORD flags, LONG x = 0, LONG y = 0, DWORD data = 0)
{
    INPUT input = {INPUT_MOUSE};
    input.mi = {x, y, data, flags, 0, 0};
    return inject(input);
}

INPUT f24Release()  // a key nothing on the test desktop acts on
{
    INPUT input = {INPUT_KEYBOARD};
    input.ki.wVk = VK_F24;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    return input;
}

int runHelper(const std::string& path, const char* mode)
{
    Process process;
    DWORD exitCode = 0;
    return startProcess(path, {mode}, &process) && waitProcessExit(process, 15000, &exitCode) ? int(exitCode) : -1;
}

} // namespace

class Hooks : public SomnivarTest {
protected:
    void TearDown() override
    {
        MessageSet(0);
        setWineVersionFor("helper.exe", nullptr);
        SomnivarTest::TearDown();
    }
};

TEST_F(Hooks, FlagIsSharedAndFreeHookBeforeAnySetHookDoesNothing)
{
    EXPECT_EQ(MessageSet(5), 5);
    EXPECT_EQ(MessageCheck(), 5);
    EXPECT_EQ(runHelper(binPath("helper.exe"), "check"), 5);
    // A copy in a folder of its own maps a section that no process has touched.
    for (const char* file : {"Vantrel.dll", "helper.exe"})
        ASSERT_TRUE(CopyFileA(binPath(file).c_str(), (workDirectory() + "\\" + file).c_str(), FALSE));
    EXPECT_EQ(runHelper(workDirectory() + "\\helper.exe", "freehook"), 0);
    EXPECT_EQ(MessageCheck(), 5);
}

TEST_F(Hooks, ProgramHooksRaiseTheFlagForNewInputOnly)
{
    HHOOK observers[] = {SetWindowsHookExA(WH_MOUSE_LL, observe<MSLLHOOKSTRUCT>, GetModuleHandleA(nullptr), 0),
                         SetWindowsHookExA(WH_KEYBOARD_LL, observe<KBDLLHOOKSTRUCT>, GetModuleHandleA(nullptr), 0)};
    // Wine reports the display's pointer when the program's windows appear; keep it at one place.
    SetCursorPos(100, 100);
    ASSERT_TRUE(storeSettings());  // no first-run dialog while the mouse moves
    Instance program;
    ASSERT_TRUE(startSomnivar("", &program));
    ASSERT_TRUE(waitUntil([] { return inject(f24Release()) == 1; }, 10000));  // hooks installed

    const DWORD move = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    EXPECT_EQ(mouse(move, 4000, 6000), 1);
    EXPECT_EQ(mouse(move, 4000, 6000), 0);  // the stored point
    EXPECT_EQ(mouse(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA), 1);
    EXPECT_EQ(mouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1), 1);
    EXPECT_EQ(mouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1), 1);
    EXPECT_EQ(mouse(move, 4000, 6000), 0);  // buttons leave the point alone
    EXPECT_EQ(mouse(move, 9000, 6000), 1);
    EXPECT_EQ(mouse(move, 4000, 6000), 1);  // only the last point is stored
    EXPECT_TRUE(stopSomnivar(program));
    EXPECT_EQ(inject(f24Release()), 0);  // gone with the program
    for (HHOOK hook : observers)
        UnhookWindowsHookEx(hook);
}

// On the 9x family the library installs the ordinary global kinds, whose procedures run in the
// process that takes the input (this one) and write the section both map.
TEST_F(Hooks, NineXHooksRunInTheProcessThatReceivesTheInput)
{
    setWineVersionFor("helper.exe", "win98");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "VantrelProbeReady");
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, "VantrelProbeStop");
    WNDCLASSA windowClass = {0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "VantrelSink"};
    RegisterClassA(&windowClass);
    HWND sink = CreateWindowExA(0, "VantrelSink", "sink", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    SetForegroundWindow(sink);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == sink; }, 3000));
    Process probe;
    ASSERT_TRUE(startProcess(binPath("helper.exe"), {"install"}, &probe));
    ASSERT_TRUE(waitUntil([&] { return WaitForSingleObject(ready, 0) == WAIT_OBJECT_0; }, 15000));

    MessageSet(0);
    INPUT release = f24Release();
    SendInput(1, &release, sizeof(release));
    EXPECT_TRUE(waitUntil([] { return MessageCheck() == 1; }, 5000)) << "key release";
    RECT frame;
    GetWindowRect(sink, &frame);
    MessageSet(0);
    SetCursorPos(frame.left + 150, frame.top + 90);
    EXPECT_TRUE(waitUntil([] { return MessageCheck() == 1; }, 5000)) << "mouse move";
    SetEvent(stop);
    DWORD exitCode = 0;
    EXPECT_TRUE(waitProcessExit(probe, 10000, &exitCode));
    EXPECT_EQ(exitCode, 100u + VER_PLATFORM_WIN32_WINDOWS);
    DestroyWindow(sink);
    CloseHandle(ready);
    CloseHandle(stop);
}
