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

INPUT mouse(DWORD flags, LONG x = 0, LONG y = 0, DWORD data = 0)
{
    INPUT input = {INPUT_MOUSE};
    input.mi = {x, y, data, flags, 0, 0};
    return input;
}

INPUT f24Release()  // a key nothing on the test desktop acts on
{
    INPUT input = {INPUT_KEYBOARD};
    input.ki.wVk = VK_F24;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    return input;
}

} // namespace

using Hooks = SomnivarTest;

// A move to the stored point is no input; buttons and the wheel are, and leave the point alone.
// Closed, the program ends with 0 and takes its hooks with it.
TEST_F(Hooks, ProgramHooksRaiseTheFlagForNewInputOnlyAndGoWithTheProgram)
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
    const std::pair<INPUT, int> events[] = {
        {mouse(move, 4000, 6000), 1}, {mouse(move, 4000, 6000), 0}, {mouse(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA), 1},
        {mouse(MOUSEEVENTF_XDOWN, 0, 0, XBUTTON1), 1}, {mouse(MOUSEEVENTF_XUP, 0, 0, XBUTTON1), 1},
        {mouse(move, 4000, 6000), 0}, {mouse(move, 9000, 6000), 1}, {mouse(move, 4000, 6000), 1}};
    for (size_t i = 0; i < std::size(events); ++i)
        EXPECT_EQ(inject(events[i].first), events[i].second) << i;
    DWORD exitCode = 99;
    EXPECT_TRUE(stopSomnivar(program, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(inject(f24Release()), 0);
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
    RegisterClassA(&windowClass);  // not a static control: those let the mouse through
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
    setWineVersionFor("helper.exe", nullptr);
    MessageSet(0);
    DestroyWindow(sink);
    CloseHandle(ready);
    CloseHandle(stop);
}
