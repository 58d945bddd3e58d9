// The hook library under Wine: its hook procedures driven by SendInput, the shared section
// across processes, and the program's own hooks seen from another process.
//
// An observing low-level hook of this process is installed before the library's hooks, so the
// platform calls it after them in the chain: it records the activity flag as the library's
// procedure left it for that very event. No timing guesses, and the program's once-a-second
// poll cannot clear the flag in between (the program's thread is waiting in CallNextHookEx).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"
#include "hooklib/vantrel.h"

namespace {

constexpr ULONG_PTR kProbeMark = 0x56A47000;  // dwExtraInfo of the events this file injects

struct SeenEvent {
    ULONG_PTR mark;
    int flag;  // MessageCheck() after the library's procedure ran
};
std::vector<SeenEvent> seenEvents;
HHOOK observerMouse;
HHOOK observerKeyboard;
ULONG_PTR nextMark = kProbeMark;

void record(ULONG_PTR mark)
{
    if ((mark & ~ULONG_PTR{0xFFF}) == kProbeMark)
        seenEvents.push_back({mark, MessageCheck()});
}

LRESULT CALLBACK observeMouse(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION)
        record(reinterpret_cast<const MSLLHOOKSTRUCT*>(data)->dwExtraInfo);
    return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK observeKeyboard(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION)
        record(reinterpret_cast<const KBDLLHOOKSTRUCT*>(data)->dwExtraInfo);
    return CallNextHookEx(nullptr, code, message, data);
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool installObserver()
{
    observerMouse = SetWindowsHookExA(WH_MOUSE_LL, observeMouse, GetModuleHandleA(nullptr), 0);
    observerKeyboard = SetWindowsHookExA(WH_KEYBOARD_LL, observeKeyboard, GetModuleHandleA(nullptr), 0);
    return observerMouse && observerKeyboard;
}

void removeObserver()
{
    if (observerMouse)
        UnhookWindowsHookEx(observerMouse);
    if (observerKeyboard)
        UnhookWindowsHookEx(observerKeyboard);
    observerMouse = observerKeyboard = nullptr;
    pumpMessages();
    seenEvents.clear();
}

// Injects one event and returns the flag as the library left it; -1 when the observer never
// saw the event.
int injectAndObserve(INPUT input)
{
    const ULONG_PTR mark = ++nextMark;
    if (input.type == INPUT_MOUSE)
        input.mi.dwExtraInfo = mark;
    else
        input.ki.dwExtraInfo = mark;
    seenEvents.clear();
    if (SendInput(1, &input, sizeof(input)) != 1)
        return -1;
    int flag = -1;
    harness::waitUntil([&] {
        for (const SeenEvent& event : seenEvents) {
            if (event.mark == mark)
                flag = event.flag;
        }
        return flag != -1;
    }, 5000);
    return flag;
}

// Absolute moves in the normalised 0..65535 space; the same numbers give the same point.
int moveTo(int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return injectAndObserve(input);
}

int mouseButton(DWORD flags, DWORD data = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    return injectAndObserve(input);
}

// F24: a key that nothing on the test desktop acts on.
int key(bool release)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_F24;
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    return injectAndObserve(input);
}

// A point in normalised coordinates that no earlier test used, so that the first move to it
// always counts, whatever the library stored before.
POINT freshPoint()
{
    static int step = 0;
    ++step;
    return {4000 + (step * 2311) % 50000, 6000 + (step * 1733) % 50000};
}

// Hooks installed by this process itself: the assertions are about the procedures.
// The fixture makes sure no Somnivar runs: another installer would share the handles.
class HookProcedures : public harness::SomnivarTest {
protected:
    void SetUp() override
    {
        harness::SomnivarTest::SetUp();
        ASSERT_TRUE(installObserver());
        ASSERT_EQ(SetHook(), 1);
        hooked = true;
    }
    void TearDown() override
    {
        if (hooked)
            FreeHook();
        removeObserver();
        MessageSet(0);
        harness::SomnivarTest::TearDown();
    }
    bool hooked = false;
};

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

} // namespace

TEST_F(HookProcedures, MoveToANewPointCountsAMoveToTheStoredPointDoesNot)
{
    const POINT a = freshPoint();
    const POINT b = freshPoint();
    MessageSet(0);
    EXPECT_EQ(moveTo(a.x, a.y), 1);
    MessageSet(0);
    EXPECT_EQ(moveTo(a.x, a.y), 0);
    EXPECT_EQ(moveTo(b.x, b.y), 1);
    MessageSet(0);
    EXPECT_EQ(moveTo(a.x, a.y), 1);  // a is new again: only the last point is stored
}

TEST_F(HookProcedures, ButtonsAndWheelCountAndKeepTheStoredPoint)
{
    const POINT a = freshPoint();
    EXPECT_EQ(moveTo(a.x, a.y), 1);
    MessageSet(0);
    EXPECT_EQ(mouseButton(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA)), 1);
    MessageSet(0);
    EXPECT_EQ(mouseButton(MOUSEEVENTF_XDOWN, XBUTTON1), 1);
    MessageSet(0);
    EXPECT_EQ(mouseButton(MOUSEEVENTF_XUP, XBUTTON1), 1);
    MessageSet(0);
    EXPECT_EQ(moveTo(a.x, a.y), 0);
}

TEST_F(HookProcedures, KeyPressAndReleaseBothCount)
{
    MessageSet(0);
    EXPECT_EQ(key(false), 1);
    MessageSet(0);
    EXPECT_EQ(key(true), 1);
}

TEST_F(HookProcedures, FreeHookStopsTheProceduresAndSetHookInstallsThemAgain)
{
    FreeHook();
    hooked = false;
    MessageSet(0);
    EXPECT_EQ(key(true), 0);
    EXPECT_EQ(moveTo(freshPoint().x, freshPoint().y), 0);
    ASSERT_EQ(SetHook(), 1);
    hooked = true;
    EXPECT_EQ(key(true), 1);
}

TEST(HookLibrary, MessageSetStoresAndMessageCheckOnlyReads)
{
    EXPECT_EQ(MessageSet(5), 5);
    EXPECT_EQ(MessageCheck(), 5);
    EXPECT_EQ(MessageCheck(), 5);
    EXPECT_EQ(MessageSet(-7), -7);
    EXPECT_EQ(MessageCheck(), -7);
    EXPECT_EQ(MessageSet(0), 0);
    EXPECT_EQ(MessageCheck(), 0);
}

using HookAcrossProcesses = harness::SomnivarTest;

TEST_F(HookAcrossProcesses, EveryProcessMappingTheLibrarySharesTheFlag)
{
    const std::string probe = harness::binPath("hookprobe.exe");
    MessageSet(5);
    EXPECT_EQ(runProgram(probe, "check"), 5);
    MessageSet(1);
    EXPECT_EQ(runProgram(probe, "check"), 1);
    MessageSet(0);
    EXPECT_EQ(runProgram(probe, "check"), 0);
}

TEST_F(HookAcrossProcesses, FreeHookBeforeAnySetHookDoesNothing)
{
    // A copy of the library in a folder of its own is a separate file, so the helper maps a
    // section that no process has touched: flag and handles are all zero.
    const std::string folder = workDirectory() + "\\";
    ASSERT_TRUE(CopyFileA(harness::binPath("Vantrel.dll").c_str(), (folder + "Vantrel.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(harness::binPath("hookprobe.exe").c_str(), (folder + "hookprobe.exe").c_str(), FALSE));
    MessageSet(3);  // this process's section is a different one
    EXPECT_EQ(runProgram(folder + "hookprobe.exe", "freehook"), 0);
    EXPECT_EQ(MessageCheck(), 3);
    MessageSet(0);
}

TEST_F(HookAcrossProcesses, ProgramHooksRaiseTheFlagThatThisProcessReads)
{
    ASSERT_TRUE(installObserver());
    harness::Instance program;
    ASSERT_TRUE(harness::startSomnivar("", &program));

    // The main window exists before the program installs its hooks: wait until a key release
    // reaches them.
    const bool live = harness::waitUntil([] {
        MessageSet(0);
        return key(true) == 1;
    }, 10000);
    EXPECT_TRUE(live);
    if (live) {
        const POINT a = freshPoint();
        const POINT b = freshPoint();
        MessageSet(0);
        EXPECT_EQ(moveTo(a.x, a.y), 1);
        MessageSet(0);
        EXPECT_EQ(moveTo(a.x, a.y), 0);
        EXPECT_EQ(moveTo(b.x, b.y), 1);
        MessageSet(0);
        EXPECT_EQ(mouseButton(MOUSEEVENTF_WHEEL, WHEEL_DELTA), 1);
        MessageSet(0);
        EXPECT_EQ(key(true), 1);
    }

    EXPECT_TRUE(harness::stopSomnivar(program));
    // Gone with the program: nothing raises the flag any more.
    MessageSet(0);
    EXPECT_EQ(key(true), 0);
    removeObserver();
}

namespace {

LRESULT CALLBACK sinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// A visible window of this process, in front, that receives the input.
struct InputSink {
    HWND window = nullptr;
    InputSink()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = sinkProc;
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

struct NineXProbeVersion {
    NineXProbeVersion() { harness::setWineVersionFor("hookprobe.exe", "win98"); }
    ~NineXProbeVersion() { harness::setWineVersionFor("hookprobe.exe", nullptr); }
};

struct Event {
    HANDLE handle;
    explicit Event(const char* name) : handle(CreateEventA(nullptr, TRUE, FALSE, name)) {}
    ~Event() { CloseHandle(handle); }
};

} // namespace

TEST_F(HookAcrossProcesses, NineXHooksRunInTheProcessThatReceivesTheInput)
{
    // The helper is told it runs on the 9x family, so the library installs the ordinary global
    // kinds. Their procedures then run inside this process, which owns the focused window, and
    // write the section that both map.
    NineXProbeVersion version;
    Event ready("VantrelProbeReady");
    Event stop("VantrelProbeStop");
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
    INPUT release = {};
    release.type = INPUT_KEYBOARD;
    release.ki.wVk = VK_F24;
    release.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &release, sizeof(release));
    // Not yet: the procedure runs when this thread takes the key message from its queue.
    Sleep(200);
    EXPECT_EQ(MessageCheck(), 0);
    EXPECT_TRUE(harness::waitUntil([] { return MessageCheck() == 1; }, 5000)) << "key release";

    // Onto a point inside the window that the library has not stored.
    RECT frame;
    GetWindowRect(sink.window, &frame);
    MessageSet(0);
    SetCursorPos(frame.left + 150, frame.top + 90);
    EXPECT_TRUE(harness::waitUntil([] { return MessageCheck() == 1; }, 5000)) << "mouse move";

    SetEvent(stop.handle);
    DWORD exitCode = 0;
    EXPECT_TRUE(harness::waitProcessExit(probe, 10000, &exitCode));
    EXPECT_EQ(exitCode, 100u + VER_PLATFORM_WIN32_WINDOWS);
    MessageSet(0);
}
