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
#include <initializer_list>
#include <vector>

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

// Pumps this thread's messages (the observer runs through them) until condition holds.
template <typename Condition>
bool pumpUntil(Condition condition, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        pumpMessages();
        if (condition())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
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
    pumpUntil([&] {
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

std::string binDirectory()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// Runs a program and returns its exit code, or -1 when it could not start or did not end.
int runProgram(const std::string& path, const char* arguments, DWORD ms = 15000)
{
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

// A fresh, empty folder under the temporary directory; removed with its files by the caller.
std::string makeScratchFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string folder = std::string(temp) + "vantrel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(GetTickCount());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
}

void removeScratchFolder(const std::string& folder, std::initializer_list<const char*> files)
{
    for (const char* file : files)
        DeleteFileA((folder + file).c_str());
    RemoveDirectoryA(folder.c_str());
}

struct RunningProgram {
    PROCESS_INFORMATION process = {};
    HWND mainWindow = nullptr;
};

HWND findMainWindowOf(DWORD processId)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "Somnivar", "Somnivar")) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

// Starts Somnivar.exe in folder and waits for its main window.
bool startSomnivar(const std::string& folder, RunningProgram* program)
{
    const std::string path = binDirectory() + "Somnivar.exe";
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &program->process))
        return false;
    CloseHandle(program->process.hThread);
    return pumpUntil([&] { return (program->mainWindow = findMainWindowOf(program->process.dwProcessId)) != nullptr; },
                     15000);
}

void stopSomnivar(RunningProgram& program)
{
    if (!program.process.hProcess)
        return;
    if (program.mainWindow)
        PostMessageA(program.mainWindow, WM_CLOSE, 0, 0);
    if (!pumpUntil([&] { return WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0; }, 10000))
        TerminateProcess(program.process.hProcess, 99);
    WaitForSingleObject(program.process.hProcess, 5000);
    CloseHandle(program.process.hProcess);
    program.process.hProcess = nullptr;
}

// Hooks installed by this process itself: the assertions are about the procedures.
class HookProcedures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(FindWindowA("Somnivar", "Somnivar"), nullptr) << "another installer would share the handles";
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
    }
    bool hooked = false;
};

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

TEST(HookLibrary, EveryProcessMappingTheLibrarySharesTheFlag)
{
    const std::string probe = binDirectory() + "hookprobe.exe";
    MessageSet(5);
    EXPECT_EQ(runProgram(probe, "check"), 5);
    MessageSet(1);
    EXPECT_EQ(runProgram(probe, "check"), 1);
    MessageSet(0);
    EXPECT_EQ(runProgram(probe, "check"), 0);
}

TEST(HookLibrary, FreeHookBeforeAnySetHookDoesNothing)
{
    // A copy of the library in a folder of its own is a separate file, so the helper maps a
    // section that no process has touched: flag and handles are all zero.
    const std::string folder = makeScratchFolder();
    ASSERT_TRUE(CopyFileA((binDirectory() + "Vantrel.dll").c_str(), (folder + "Vantrel.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((binDirectory() + "hookprobe.exe").c_str(), (folder + "hookprobe.exe").c_str(), FALSE));
    MessageSet(3);  // this process's section is a different one
    EXPECT_EQ(runProgram(folder + "hookprobe.exe", "freehook"), 0);
    EXPECT_EQ(MessageCheck(), 3);
    MessageSet(0);
    removeScratchFolder(folder, {"Vantrel.dll", "hookprobe.exe"});
}

TEST(HookAcrossProcesses, ProgramHooksRaiseTheFlagThatThisProcessReads)
{
    ASSERT_EQ(FindWindowA("Somnivar", "Somnivar"), nullptr);
    ASSERT_TRUE(installObserver());
    const std::string folder = makeScratchFolder();
    RunningProgram program;
    ASSERT_TRUE(startSomnivar(folder, &program));

    // The main window exists before the program installs its hooks: wait until a key release
    // reaches them.
    const bool live = pumpUntil([] {
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

    stopSomnivar(program);
    // Gone with the program: nothing raises the flag any more.
    MessageSet(0);
    EXPECT_EQ(key(true), 0);
    removeObserver();
    removeScratchFolder(folder, {});
}

namespace {

LRESULT CALLBACK sinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// Wine answers GetVersionExA per program from this key: "win98" is the 9x family.
constexpr const char* kProbeVersionKey = "Software\\Wine\\AppDefaults\\hookprobe.exe";

} // namespace

TEST(HookAcrossProcesses, NineXHooksRunInTheProcessThatReceivesTheInput)
{
    // The helper installs the ordinary global kinds (it is told it runs on the 9x family); the
    // procedures then run inside this process, which owns the focused window, and write the
    // section that both map.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProbeVersionKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    RegCloseKey(key);

    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "VantrelProbeReady");
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, "VantrelProbeStop");
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = sinkProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VantrelInputSink";
    RegisterClassA(&windowClass);
    HWND sink = CreateWindowExA(0, "VantrelInputSink", "input sink", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(sink, nullptr);
    SetForegroundWindow(sink);
    SetFocus(sink);
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == sink; }, 3000));

    const std::string path = binDirectory() + "hookprobe.exe";
    std::string commandLine = "\"" + path + "\" install";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    CloseHandle(process.hThread);
    EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(ready, 0) == WAIT_OBJECT_0; }, 15000));

    MessageSet(0);
    INPUT release = {};
    release.type = INPUT_KEYBOARD;
    release.ki.wVk = VK_F24;
    release.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &release, sizeof(release));
    // Not yet: the procedure runs when this thread takes the key message from its queue.
    Sleep(200);
    EXPECT_EQ(MessageCheck(), 0);
    EXPECT_TRUE(pumpUntil([] { return MessageCheck() == 1; }, 5000)) << "key release";

    // Onto a point inside the sink window that the library has not stored.
    RECT frame;
    GetWindowRect(sink, &frame);
    MessageSet(0);
    SetCursorPos(frame.left + 150, frame.top + 90);
    EXPECT_TRUE(pumpUntil([] { return MessageCheck() == 1; }, 5000)) << "mouse move";

    SetEvent(stop);
    DWORD exitCode = 0;
    EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 10000));
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 100u + VER_PLATFORM_WIN32_WINDOWS);
    if (exitCode == STILL_ACTIVE)
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    CloseHandle(ready);
    CloseHandle(stop);
    DestroyWindow(sink);
    UnregisterClassA("VantrelInputSink", GetModuleHandleA(nullptr));
    RegDeleteKeyA(HKEY_CURRENT_USER, kProbeVersionKey);
    MessageSet(0);
}
