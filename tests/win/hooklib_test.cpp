// The hook library under Wine: the program's hooks seen from another process, the ordinary
// global hooks of the 9x family, and the flag's exports.
//
// An observing low-level hook of this process, installed before the program's, runs after them
// in the chain and records the flag as the library's procedure left it for that very event: no
// timing guesses, and the program's poll cannot clear it in between.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"
#include "hooklib/vantrel.h"

namespace {

constexpr ULONG_PTR kProbeMark = 0x56A47000; // dwExtraInfo of the events this file injects

struct SeenEvent {
    ULONG_PTR mark;
    int flag;
};
std::vector<SeenEvent> seenEvents;
HHOOK observers[2];
ULONG_PTR nextMark = kProbeMark;

template <typename Record>
LRESULT CALLBACK observe(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION) {
        const ULONG_PTR mark = reinterpret_cast<const Record*>(data)->dwExtraInfo;
        if ((mark & ~ULONG_PTR{0xFFF}) == kProbeMark)
            seenEvents.push_back({mark, MessageCheck()});
    }
    return CallNextHookEx(nullptr, code, message, data);
}

struct Observer {
    Observer()
    {
        observers[0] = SetWindowsHookExA(WH_MOUSE_LL, observe<MSLLHOOKSTRUCT>, GetModuleHandleA(nullptr), 0);
        observers[1] = SetWindowsHookExA(WH_KEYBOARD_LL, observe<KBDLLHOOKSTRUCT>, GetModuleHandleA(nullptr), 0);
    }
    ~Observer()
    {
        for (HHOOK& hook : observers) {
            if (hook)
                UnhookWindowsHookEx(hook);
            hook = nullptr;
        }
        harness::pumpMessages(0);
        seenEvents.clear();
    }
    bool ok() const { return observers[0] && observers[1]; }
};

// Clears the flag, injects one event and returns the flag as the library left it; -1 when the
// observer never saw the event.
int injectAndObserve(INPUT input)
{
    const ULONG_PTR mark = ++nextMark;
    (input.type == INPUT_MOUSE ? input.mi.dwExtraInfo : input.ki.dwExtraInfo) = mark;
    seenEvents.clear();
    MessageSet(0);
    if (SendInput(1, &input, sizeof(input)) != 1)
        return -1;
    int flag = -1;
    harness::waitUntil(
        [&] {
            for (const SeenEvent& event : seenEvents)
                if (event.mark == mark)
                    flag = event.flag;
            return flag != -1;
        },
        5000);
    return flag;
}

// Absolute moves are in the normalised 0..65535 space; the same numbers give the same point.
int mouse(DWORD flags, LONG x = 0, LONG y = 0, DWORD data = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi = {x, y, data, flags, 0, 0};
    return injectAndObserve(input);
}
int moveTo(POINT point)
{
    return mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, point.x, point.y);
}

// F24: a key that nothing on the test desktop acts on.
INPUT f24(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_F24;
    input.ki.dwFlags = flags;
    return input;
}
int key(DWORD flags)
{
    return injectAndObserve(f24(flags));
}

// A point that no earlier move used, so the first move to it counts whatever the library stored.
POINT freshPoint()
{
    static int step = 0;
    ++step;
    return {4000 + (step * 2311) % 50000, 6000 + (step * 1733) % 50000};
}

// Runs a helper program and returns its exit code, or -1 when it could not start or end.
int runProgram(const std::string& path, const char* arguments)
{
    harness::StartOptions options;
    options.arguments = arguments;
    options.powerStandIn = false;
    harness::Process process;
    DWORD exitCode = 0;
    if (!harness::startProcess(path, options, &process) || !harness::waitProcessExit(process, 15000, &exitCode))
        return -1;
    return static_cast<int>(exitCode);
}

// A visible window of this process, in front, that receives the input.
struct InputSink {
    HWND window = nullptr;
    InputSink()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VantrelInputSink";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "VantrelInputSink", "input sink", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(window);
        SetFocus(window);
    }
    ~InputSink()
    {
        DestroyWindow(window);
        UnregisterClassA("VantrelInputSink", GetModuleHandleA(nullptr));
    }
};

struct NamedEvent {
    HANDLE handle;
    explicit NamedEvent(const char* name) : handle(CreateEventA(nullptr, TRUE, FALSE, name)) {}
    ~NamedEvent() { CloseHandle(handle); }
};

class HookAcrossProcesses : public harness::SomnivarTest {
protected:
    void TearDown() override
    {
        MessageSet(0);
        harness::setWineVersionFor("hookprobe.exe", nullptr);
        harness::SomnivarTest::TearDown();
    }
};

} // namespace

TEST_F(HookAcrossProcesses, MessageSetIsSharedAndMessageCheckOnlyReads)
{
    EXPECT_EQ(MessageSet(5), 5);
    EXPECT_EQ(MessageCheck(), 5);
    EXPECT_EQ(MessageCheck(), 5);
    EXPECT_EQ(runProgram(harness::binPath("hookprobe.exe"), "check"), 5);
}

TEST_F(HookAcrossProcesses, FreeHookBeforeAnySetHookDoesNothing)
{
    // A copy of the library in a folder of its own maps a section that no process has touched.
    const std::string folder = workDirectory() + "\\";
    ASSERT_TRUE(CopyFileA(harness::binPath("Vantrel.dll").c_str(), (folder + "Vantrel.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(harness::binPath("hookprobe.exe").c_str(), (folder + "hookprobe.exe").c_str(), FALSE));
    MessageSet(3);
    EXPECT_EQ(runProgram(folder + "hookprobe.exe", "freehook"), 0);
    EXPECT_EQ(MessageCheck(), 3);
}

TEST_F(HookAcrossProcesses, ProgramHooksRaiseTheFlagThatThisProcessReads)
{
    Observer observer;
    ASSERT_TRUE(observer.ok());
    // Wine reports the display server's pointer, unannounced, when the program's windows
    // appear; where it and the injected moves disagree, that report would move the stored point.
    SetCursorPos(100, 100);
    // Not a first run either: the settings dialog would appear while the test moves the mouse.
    ASSERT_TRUE(harness::storeSettings());
    harness::Instance program;
    ASSERT_TRUE(harness::startSomnivar("", &program));
    // The main window exists before the program installs its hooks.
    ASSERT_TRUE(harness::waitUntil([] { return key(KEYEVENTF_KEYUP) == 1; }, 10000));

    const POINT a = freshPoint();
    const POINT b = freshPoint();
    EXPECT_EQ(moveTo(a), 1);
    EXPECT_EQ(moveTo(a), 0);
    // Buttons and wheel count and leave the stored point alone.
    for (DWORD flags : {MOUSEEVENTF_WHEEL, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(mouse(flags, 0, 0, flags == MOUSEEVENTF_WHEEL ? WHEEL_DELTA : XBUTTON1), 1);
    }
    EXPECT_EQ(moveTo(a), 0);
    EXPECT_EQ(key(0), 1);
    EXPECT_EQ(key(KEYEVENTF_KEYUP), 1);
    EXPECT_EQ(moveTo(b), 1);
    EXPECT_EQ(moveTo(a), 1); // only the last point is stored

    EXPECT_TRUE(harness::stopSomnivar(program));
    EXPECT_EQ(key(KEYEVENTF_KEYUP), 0); // gone with the program
}

TEST_F(HookAcrossProcesses, NineXHooksRunInTheProcessThatReceivesTheInput)
{
    // Told it runs on the 9x family, the helper's library installs the ordinary global kinds,
    // whose procedures run inside this process (it owns the focused window) and write the
    // section that both map.
    harness::setWineVersionFor("hookprobe.exe", "win98");
    NamedEvent ready("VantrelProbeReady");
    NamedEvent stop("VantrelProbeStop");
    InputSink sink;
    ASSERT_NE(sink.window, nullptr);
    EXPECT_TRUE(harness::waitUntil([&] { return GetForegroundWindow() == sink.window; }, 3000));

    harness::StartOptions options;
    options.arguments = "install";
    options.powerStandIn = false;
    harness::Process probe;
    ASSERT_TRUE(harness::startProcess(harness::binPath("hookprobe.exe"), options, &probe));
    ASSERT_TRUE(harness::waitUntil([&] { return WaitForSingleObject(ready.handle, 0) == WAIT_OBJECT_0; }, 15000));

    MessageSet(0);
    INPUT release = f24(KEYEVENTF_KEYUP);
    SendInput(1, &release, sizeof(release));
    // Not yet: the procedure runs when this thread takes the key message from its queue.
    Sleep(200);
    EXPECT_EQ(MessageCheck(), 0);
    EXPECT_TRUE(harness::waitUntil([] { return MessageCheck() == 1; }, 5000)) << "key release";

    RECT frame;
    GetWindowRect(sink.window, &frame);
    MessageSet(0);
    SetCursorPos(frame.left + 150, frame.top + 90);
    EXPECT_TRUE(harness::waitUntil([] { return MessageCheck() == 1; }, 5000)) << "mouse move";

    SetEvent(stop.handle);
    DWORD exitCode = 0;
    EXPECT_TRUE(harness::waitProcessExit(probe, 10000, &exitCode));
    EXPECT_EQ(exitCode, 100u + VER_PLATFORM_WIN32_WINDOWS);
}
