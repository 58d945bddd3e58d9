// Drives a Somnivar for days' worth of ticks in minutes and watches what it holds: the soak of
// tools/soak.sh. Starts the program from the current directory (its list files and Readme.txt
// are there), posts the timers of its one-second tick (2 and 8) as fast as it handles them, with
// idle expiries (3), resume notifications and their grace (9), suspend queries, re-creations of
// the taskbar and status requests in between; rewrites both list files and shows and hides a
// watched window title between ticks; opens and closes every window after every thousand ticks,
// a hundred times at the least. Samples
// the program's handle count, USER and GDI objects, its own windows and private bytes.
//   soak_driver.exe PATH\Somnivar.exe MINUTES
// Prints "sample SECONDS HANDLES USER GDI WINDOWS PRIVATE_KIB" lines, then "ticks N", "cycles N",
// "baseline ..." and "final ..." lines; exits 1 when the program could not be driven (it did not
// start, stopped answering or ended by itself).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Titles in code page 932.
const char kSettingsTitle[] = "Somnivar \x82\xcc\x90\xdd\x92\xe8";                           // Somnivar の設定
const char kProgramEditorTitle[] = "\x8a\xc4\x8e\x8b\x83\x76\x83\x8d\x83\x4f\x83\x89\x83\x80\x82\xcc"
                                   "\x92\xc7\x89\xc1\x81\x45\x8d\xed\x8f\x9c";                    // 監視プログラムの追加・削除
const char kTitleEditorTitle[] = "\x8a\xc4\x8e\x8b\x83\x5e\x83\x43\x83\x67\x83\x8b\x82\xcc"
                                 "\x92\xc7\x89\xc1\x81\x45\x8d\xed\x8f\x9c";                      // 監視タイトルの追加・削除
const char kAboutTitle[] = "Somnivar \x82\xc9\x82\xc2\x82\xa2\x82\xc4";                            // Somnivar について
const char kReadmeTitle[] = "Somnivar - Readme.txt";
const char kWatchedTitle[] = "Soak watched window";

constexpr UINT kTickTimers[] = {2, 8};
constexpr UINT_PTR kIdleExpiry = 3, kResumeGrace = 9;
// About 2 s of the program's time a round under Wine on two busy cores: some 300 rounds in the
// default ten minutes, a hundred at the least.
constexpr int kTicksPerRound = 1000;
constexpr int kMinimumRounds = 100;

PROCESS_INFORMATION program;
HWND mainWindow;
DWORD windowThreadId;

DWORD ownerOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

HWND findOwnWindow(const char* className, const char* title)
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, title));) {
        if (ownerOf(window) == program.dwProcessId)
            return window;
    }
    return nullptr;
}

// The program has handled everything posted before: a sent message is taken only between posted
// ones. False when it did not answer within ten seconds or has ended.
bool settled()
{
    DWORD_PTR result;
    return SendMessageTimeoutA(mainWindow, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
}

bool seenHidden;
// One message handled by the program, within ten seconds.
bool deliver(UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result;
    return SendMessageTimeoutA(mainWindow, message, wParam, lParam, SMTO_NORMAL, 10000, &result) != 0;
}

HWND waitForWindow(const char* className, const char* title, DWORD ms = 5000)
{
    seenHidden = false;
    for (DWORD i = 0; i < ms / 10; ++i) {
        HWND window = findOwnWindow(className, title);
        if (window && IsWindowVisible(window))
            return window;
        seenHidden = seenHidden || window;
        Sleep(10);
    }
    return nullptr;
}
unsigned long ticks;

bool waitGone(HWND window)
{
    for (int i = 0; i < 500 && IsWindow(window); ++i)
        Sleep(10);
    return !IsWindow(window);
}

// Opens a window with a command to the given window, waits for it, and closes it again.
bool openAndClose(HWND commandTarget, WPARAM command, const char* title, UINT closeMessage = WM_CLOSE,
                  WPARAM closeParameter = 0)
{
    PostMessageA(commandTarget, WM_COMMAND, command, 0);
    HWND window = waitForWindow("#32770", title);
    if (!window) {
        std::fprintf(stderr, "soak_driver: command %u did not open its window\n", static_cast<unsigned>(command));
        return false;
    }
    settled();
    PostMessageA(window, closeMessage, closeParameter, 0);
    if (waitGone(window))
        return true;
    std::fprintf(stderr, "soak_driver: the window of command %u did not close\n", static_cast<unsigned>(command));
    return false;
}

// One of the hundred rounds: every window the program has, opened and closed. Every tenth round
// leaves the settings dialog with OK, which stores the settings and re-arms the timers.
bool windowCycle(int cycle)
{
    PostMessageA(mainWindow, WM_COMMAND, 259, 0);
    HWND settings = waitForWindow("#32770", kSettingsTitle, 60000);
    if (!settings) {
        HWND hidden = findOwnWindow("#32770", kSettingsTitle);
        std::fprintf(stderr, "soak_driver: the settings dialog did not open (round %d, tick %lu, %s, seen %d, answers %d)\n", cycle, ticks,
                     hidden ? (IsIconic(hidden) ? "there, minimised" : "there, hidden") : "no window", seenHidden, settled());
        for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr));) {
            char title[128] = "";
            GetWindowTextA(window, title, sizeof(title));
            if (ownerOf(window) == program.dwProcessId)
                std::fprintf(stderr, "  dialog \"%s\" visible %d\n", title, IsWindowVisible(window) ? 1 : 0);
        }
        for (int retry = 1; retry <= 3; ++retry) {
            PostMessageA(mainWindow, WM_COMMAND, 259, 0);
            HWND again = waitForWindow("#32770", kSettingsTitle);
            std::fprintf(stderr, "  retry %d: %s\n", retry, again ? "opened" : "not opened");
            if (again) {
                PostMessageA(again, WM_CLOSE, 0, 0);
                waitGone(again);
                break;
            }
        }
        return false;
    }
    bool ok = openAndClose(settings, 1068, kProgramEditorTitle) && openAndClose(settings, 1069, kTitleEditorTitle);
    PostMessageA(settings, cycle % 10 == 9 ? WM_COMMAND : WM_CLOSE, cycle % 10 == 9 ? IDOK : 0, 0);
    ok = waitGone(settings) && ok;
    ok = openAndClose(mainWindow, 260, kAboutTitle) && ok;
    ok = openAndClose(mainWindow, 261, kReadmeTitle, WM_COMMAND, IDOK) && ok;
    return ok;
}

// Both list files, in one of two versions: the first finds this driver and its window, the
// second nothing; the lengths differ so that each load takes a buffer of another size.
void writeLists(int version)
{
    const std::string programs = version % 2 ? "notepad.exe\r\nSystem\r\n*.scr\r\n"
                                             : "soak_driver.exe\r\nexplorer.exe\r\n*.dat\r\nwine*\r\n";
    const std::string titles = version % 2 ? "Nothing here\r\n*Draft*\r\n" : "Soak*\r\n*window\r\nUntitled - *\r\n";
    for (const auto& [name, text] : {std::pair<const char*, const std::string&>{"FileList.txt", programs},
                                     {"TitleList.txt", titles}}) {
        // The program opens the files without sharing: a write that meets its read is skipped.
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD written;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
}

// The watched title lives on a thread of its own that keeps pumping messages: the program
// broadcasts the monitor command with SendMessage during every suspend.
DWORD WINAPI windowThread(LPVOID)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SoakWatched";
    RegisterClassA(&windowClass);
    HWND watched = nullptr;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == WM_APP) {
            if (watched) {
                DestroyWindow(watched);
                watched = nullptr;
            } else {
                watched = CreateWindowA("SoakWatched", kWatchedTitle, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                        windowClass.hInstance, nullptr);
            }
        }
        DispatchMessageA(&message);
    }
    return 0;
}

struct Sample {
    DWORD handles, user, gdi, windows;
    SIZE_T privateKiB;
};

// Wine answers GetProcessHandleCount with 0; its system handle table lists every handle of every
// process, so the program's are counted there.
DWORD handlesInSystemTable(DWORD processId)
{
    struct Entry {
        USHORT processId, creatorBackTraceIndex;
        UCHAR objectType, attributes;
        USHORT handle;
        PVOID object;
        ULONG grantedAccess;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const Query query =
        reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG kSystemHandleInformation = 16;
    static std::string buffer(1 << 20, '\0');
    ULONG needed = 0;
    LONG status;
    while (query && (status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
                        static_cast<LONG>(0xC0000004))  // the table grew: a larger buffer
        buffer.resize(buffer.size() * 2);
    if (!query || status != 0)
        return 0;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    DWORD handles = 0;
    for (ULONG i = 0; i < count; ++i)
        handles += entries[i].processId == static_cast<USHORT>(processId);
    return handles;
}

BOOL CALLBACK countChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

BOOL CALLBACK countOwnWindows(HWND window, LPARAM count)
{
    if (ownerOf(window) == program.dwProcessId) {
        ++*reinterpret_cast<DWORD*>(count);
        EnumChildWindows(window, countChild, count);
    }
    return TRUE;
}

Sample sample()
{
    Sample taken = {};
    if (!GetProcessHandleCount(program.hProcess, &taken.handles) || taken.handles == 0)
        taken.handles = handlesInSystemTable(program.dwProcessId);
    taken.user = GetGuiResources(program.hProcess, GR_USEROBJECTS);
    taken.gdi = GetGuiResources(program.hProcess, GR_GDIOBJECTS);
    EnumWindows(countOwnWindows, reinterpret_cast<LPARAM>(&taken.windows));
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(program.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    // Wine leaves PrivateUsage 0; its PagefileUsage is the private memory.
    taken.privateKiB = (memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage) / 1024;
    return taken;
}

void print(const char* label, double seconds, const Sample& taken)
{
    std::printf("%s %.0f %lu %lu %lu %lu %lu\n", label, seconds, taken.handles, taken.user, taken.gdi, taken.windows,
                static_cast<unsigned long>(taken.privateKiB));
    std::fflush(stdout);
}

void setSetting(HKEY key, const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_driver PATH\\Somnivar.exe MINUTES\n");
        return 2;
    }
    const DWORD runMs = static_cast<DWORD>(std::atof(argv[2]) * 60000);
    // Every watch on, the status balloon too; an hour's countdown, so that only the posted expiries
    // suspend and never one in the middle of a round of windows. Written before the start, so
    // that it is no first run (which would open the settings dialog by itself).
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", &key) == ERROR_SUCCESS) {
        for (const auto& [name, value] : {std::pair<const char*, DWORD>{"Time", 60}, {"Enable", 1}, {"OffCheck", 0},
                                          {"ApplicationCheck", 1}, {"TitleCheck", 1}, {"StatusDisplay", 1},
                                          {"SuspendOther", 0}, {"Monitor", 0}, {"Expand", 0}})
            setSetting(key, name, value);
        RegCloseKey(key);
    }
    writeLists(0);
    CreateThread(nullptr, 0, windowThread, nullptr, 0, &windowThreadId);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + std::string(argv[1]) + "\"";
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program)) {
        std::fprintf(stderr, "soak_driver: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    for (int i = 0; i < 1500 && !mainWindow; ++i, Sleep(10))
        mainWindow = findOwnWindow("Somnivar", "Somnivar");
    if (!mainWindow || !settled()) {
        std::fprintf(stderr, "soak_driver: the program did not start\n");
        TerminateProcess(program.hProcess, 1);
        return 1;
    }
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");

    const DWORD start = GetTickCount();
    const auto elapsed = [start] { return GetTickCount() - start; };
    int cycles = 0, failedCycles = 0;
    DWORD nextSample = 0;
    Sample baseline = {};
    bool haveBaseline = false, answering = true;
    while (answering && (elapsed() < runMs || cycles < kMinimumRounds)) {
        // A batch of ticks, posted as the system posts its timers, then a round of windows. The
        // round starts with a posted command and waits for its dialog, so every tick of the batch
        // has been handled once it opens (a sent message would be taken before the posted ticks
        // and prove nothing). The suspend query is sent, as the system sends it.
        for (int i = 0; i < kTicksPerRound && answering; ++i) {
            ++ticks;
            for (UINT timer : kTickTimers)
                PostMessageA(mainWindow, WM_TIMER, timer, 0);
            if (ticks % 300 == 0)
                PostMessageA(mainWindow, WM_TIMER, kIdleExpiry, 0);
            if (ticks % 500 == 0) {
                PostMessageA(mainWindow, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
                PostMessageA(mainWindow, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
            }
            if (ticks % 500 == 30)
                PostMessageA(mainWindow, WM_TIMER, kResumeGrace, 0);
            if (ticks % 700 == 0)
                PostMessageA(mainWindow, taskbarCreated, 0, 0);
            if (ticks % 2000 == 0)
                PostMessageA(mainWindow, WM_COMMAND, 267, 0);
            if (ticks % 1000 == 0)
                answering = deliver(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0);
            if (ticks % 250 == 0)
                writeLists(static_cast<int>(ticks / 250));
            if (ticks % 400 == 0)
                PostThreadMessageA(windowThreadId, WM_APP, 0, 0);
        }
        failedCycles += !windowCycle(cycles);
        ++cycles;
        answering = answering && settled();
        if (elapsed() >= nextSample) {
            const Sample taken = sample();
            print("sample", elapsed() / 1000.0, taken);
            // The baseline: after the first round of windows and a minute of ticks, when every
            // window class, library and cache the program uses has been touched once.
            if (!haveBaseline && cycles >= 1 && elapsed() >= (runMs / 5 < 60000 ? runMs / 5 : 60000)) {
                baseline = taken;
                haveBaseline = true;
            }
            nextSample = elapsed() + 15000;
        }
    }
    bool ended = WaitForSingleObject(program.hProcess, 0) == WAIT_OBJECT_0;
    Sample final = {};
    if (answering && !ended) {
        Sleep(2000);
        settled();
        final = sample();
        print("sample", elapsed() / 1000.0, final);
    }
    std::printf("ticks %lu\ncycles %d failed %d\n", ticks, cycles, failedCycles);
    print("baseline", 0, baseline);
    print("final", elapsed() / 1000.0, final);
    PostMessageA(mainWindow, WM_COMMAND, 262, 0);
    if (WaitForSingleObject(program.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(program.hProcess, 1);
    PostThreadMessageA(windowThreadId, WM_QUIT, 0, 0);
    if (!answering || ended || !haveBaseline) {
        std::fprintf(stderr, "soak_driver: the program %s\n", ended ? "ended by itself" : "stopped answering");
        return 1;
    }
    return 0;
}
