// The Windows side of tools/bench.sh: sets Somnivar up and times what can only be timed from
// inside Wine. One command per run; figures go to stdout as "key value ..." lines.
//   settings NAME=VALUE...   stores all seventeen settings, defaults except the ones named
//   standin on|off           makes Somnivar.exe load the benchmark's powrprof.dll (or not)
//   startup RUNS EXE [ARGS]  process start to its first NIM_ADD, RUNS times, as the tray
//   expiry ROUNDS            posted timer 3 to the power call (needs the copy of the program in
//                            bin/bench/, and "standin on")
//   hooks EVENTS             prints "ready", waits for a line on stdin, sends EVENTS mouse moves
//                            with SendInput, prints the wall time and "done"
//   memory                   working set and private bytes of the running Somnivar
//   ticks COUNT              posts COUNT ticks of timers 2 and 8 and waits until they are handled
//                            (needs StatusDisplay 1 and ApplicationCheck 1: each batch ends with
//                            the show-status command, whose balloon says the queue is drained)
//   close                    ends the running Somnivar through its exit command
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "settings/settings.h"
#include "tools/bench/bench_power.h"

namespace {

double nowMs()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double counterMs(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

template <typename Predicate>
bool waitUntil(Predicate done, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(1);
    }
    return true;
}

void printSummary(const char* key, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s none\n", key);
        return;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    std::printf("%s %.2f %.2f %.2f %zu\n", key, median, values.front(), values.back(), n);
}

HWND somnivarWindow()
{
    return FindWindowA("Somnivar", "Somnivar");
}

// ---- settings

int storeSettings(int argc, char** argv)
{
    Settings values = kDefaultSettings;
    const struct {
        const char* name;
        int32_t Settings::*field;
    } fields[] = {{settingNames::Time, &Settings::Time},
                  {settingNames::Enable, &Settings::Enable},
                  {settingNames::Expand, &Settings::Expand},
                  {settingNames::ExpType, &Settings::ExpType},
                  {settingNames::Resource, &Settings::Resource},
                  {settingNames::Value, &Settings::Value},
                  {settingNames::Stop, &Settings::Stop},
                  {settingNames::StopValue, &Settings::StopValue},
                  {settingNames::SuspendOther, &Settings::SuspendOther},
                  {settingNames::SuspendType, &Settings::SuspendType},
                  {settingNames::Monitor, &Settings::Monitor},
                  {settingNames::HotKeyUse, &Settings::HotKeyUse},
                  {settingNames::HotKeyCode, &Settings::HotKeyCode},
                  {settingNames::ApplicationCheck, &Settings::ApplicationCheck},
                  {settingNames::TitleCheck, &Settings::TitleCheck},
                  {settingNames::OffCheck, &Settings::OffCheck},
                  {settingNames::StatusDisplay, &Settings::StatusDisplay}};
    for (int i = 0; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        bool known = false;
        for (const auto& field : fields) {
            if (equals && std::strncmp(argv[i], field.name, equals - argv[i]) == 0 &&
                field.name[equals - argv[i]] == '\0') {
                values.*field.field = std::atoi(equals + 1);
                known = true;
            }
        }
        if (!known) {
            std::fprintf(stderr, "unknown setting %s\n", argv[i]);
            return 2;
        }
    }
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 1;
    for (const auto& field : fields) {
        const DWORD value = static_cast<DWORD>(values.*field.field);
        RegSetValueExA(key, field.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    RegCloseKey(key);
    return 0;
}

int useStandIn(bool on)
{
    const char* path = "Software\\Wine\\AppDefaults\\Somnivar.exe\\DllOverrides";
    if (!on) {
        RegDeleteKeyA(HKEY_CURRENT_USER, path);
        return 0;
    }
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;
    const char value[] = "native,builtin";
    RegSetValueExA(key, "powrprof", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
    RegCloseKey(key);
    // The program loads its power library from the system folder only.
    char self[MAX_PATH], system[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::strcpy(std::strrchr(self, '\\') + 1, "bench\\powrprof.dll");
    GetSystemDirectoryA(system, MAX_PATH);
    return CopyFileA(self, (std::string(system) + "\\powrprof.dll").c_str(), FALSE) ? 0 : 1;
}

// ---- A notification area of our own: Wine hands every Shell_NotifyIcon call to the top-most
// window of class "Shell_TrayWnd" as WM_COPYDATA (dwData = the NIM_ code; the record starts
// with the owner window, the icon id and the flags).

struct TrayCall {
    DWORD message;
    DWORD processId;
    UINT flags;
    double atMs;
};

// The win32 thread model has no standard mutex; a critical section serves std::lock_guard.
struct Mutex {
    CRITICAL_SECTION section;
    Mutex() { InitializeCriticalSection(&section); }
    void lock() { EnterCriticalSection(&section); }
    void unlock() { LeaveCriticalSection(&section); }
};
Mutex trayMutex;
std::vector<TrayCall> trayCalls;

LRESULT CALLBACK trayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        TrayCall call = {static_cast<DWORD>(data->dwData), 0, 0, nowMs()};
        if (data->lpData && data->cbData >= 12) {
            const LONG* fields = static_cast<const LONG*>(data->lpData);
            GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<LONG_PTR>(fields[0])), &call.processId);
            call.flags = static_cast<UINT>(fields[2]);
        }
        std::lock_guard<Mutex> lock(trayMutex);
        trayCalls.push_back(call);
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI trayThread(void* ready)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = trayProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "Shell_TrayWnd", "", WS_POPUP,
                                  -100, -100, 1, 1, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetEvent(static_cast<HANDLE>(ready));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

void startTray()
{
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, trayThread, ready, 0, nullptr));
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
}

bool trayCallSeen(DWORD message, DWORD processId, UINT flags, double* atMs)
{
    std::lock_guard<Mutex> lock(trayMutex);
    for (const TrayCall& call : trayCalls) {
        if (call.message == message && call.processId == processId && (call.flags & flags) == flags) {
            if (atMs)
                *atMs = call.atMs;
            return true;
        }
    }
    return false;
}

// ---- startup

BOOL CALLBACK windowOfProcess(HWND window, LPARAM parameter)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    DWORD* wanted = reinterpret_cast<DWORD*>(parameter);
    if (owner != *wanted)
        return TRUE;
    *wanted = 0;
    return FALSE;
}

bool hasTopLevelWindow(DWORD processId)
{
    EnumWindows(windowOfProcess, reinterpret_cast<LPARAM>(&processId));
    return processId == 0;
}

bool startProcess(const std::string& commandLine, PROCESS_INFORMATION* info)
{
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, info))
            return true;
        Sleep(200);  // Wine has been seen to fail a start once under load
    }
    return false;
}

int timeStartup(int runs, int argc, char** argv)
{
    std::string commandLine;
    for (int i = 0; i < argc; ++i)
        commandLine += std::string(i ? " " : "") + "\"" + argv[i] + "\"";
    startTray();
    std::vector<double> times;
    std::vector<double> windowTimes;  // polled every millisecond or so
    for (int run = 0; run < runs; ++run) {
        PROCESS_INFORMATION info = {};
        const double started = nowMs();
        if (!startProcess(commandLine, &info))
            return 1;
        double added = 0;
        double windowAt = 0;
        if (waitUntil(
                [&] {
                    if (!windowAt && hasTopLevelWindow(info.dwProcessId))
                        windowAt = nowMs();
                    return trayCallSeen(NIM_ADD, info.dwProcessId, 0, &added);
                },
                20000)) {
            times.push_back(added - started);
            if (windowAt)
                windowTimes.push_back(std::min(windowAt, added) - started);
        }
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        Sleep(300);
    }
    printSummary("startup_ms", times);
    printSummary("window_ms", windowTimes);
    return times.size() == static_cast<size_t>(runs) ? 0 : 1;
}

// ---- expiry

int timeExpiry(int rounds)
{
    BenchPowerCalls* power = mapBenchPowerCalls();
    HWND window = somnivarWindow();
    if (!power || !window)
        return 1;
    std::vector<double> latencies;
    for (int round = 0; round < rounds; ++round) {
        const LONG before = power->count;
        LARGE_INTEGER posted;
        QueryPerformanceCounter(&posted);
        PostMessageA(window, WM_TIMER, TIMER_IDLE_EXPIRY, 0);
        if (before >= kBenchPowerSlots || !waitUntil([&] { return power->count > before; }, 10000))
            break;
        latencies.push_back(counterMs(power->counter[before] - posted.QuadPart));
        // Answered once the suspend sequence has returned to the message loop.
        DWORD_PTR result;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        Sleep(100);
    }
    printSummary("expiry_ms", latencies);
    return latencies.size() == static_cast<size_t>(rounds) ? 0 : 1;
}

// ---- hooks

int sendBurst(int events)
{
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof(line), stdin))
        return 1;
    const double started = nowMs();
    for (int i = 0; i < events; ++i) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = i % 2 ? -1 : 1;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
        SendInput(1, &input, sizeof(input));
    }
    std::printf("burst_ms %.2f %d\ndone\n", nowMs() - started, events);
    std::fflush(stdout);
    return 0;
}

// ---- memory and ticks

int printMemory()
{
    DWORD processId = 0;
    GetWindowThreadProcessId(somnivarWindow(), &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!process ||
        !GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)))
        return 1;
    // Wine leaves PrivateUsage at 0; its PagefileUsage is the committed private memory.
    const size_t privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    std::printf("memory_kb %llu %llu\n", static_cast<unsigned long long>(counters.WorkingSetSize / 1024),
                static_cast<unsigned long long>(privateBytes / 1024));
    CloseHandle(process);
    return 0;
}

int postTicks(int count)
{
    HWND window = somnivarWindow();
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!window)
        return 1;
    startTray();
    constexpr int kBatch = 100;
    const double started = nowMs();
    for (int posted = 0; posted < count; posted += kBatch) {
        {
            std::lock_guard<Mutex> lock(trayMutex);
            trayCalls.clear();
        }
        for (int i = posted; i < posted + kBatch && i < count; ++i) {
            PostMessageA(window, WM_TIMER, TIMER_ACTIVITY_POLL, 0);
            PostMessageA(window, WM_TIMER, TIMER_WATCH_SCAN, 0);
        }
        // Posted messages are handled in order, so this balloon comes after every tick above.
        PostMessageA(window, WM_COMMAND, IDM_SHOW_WATCH_STATUS, 0);
        PostMessageA(window, WM_TIMER, TIMER_WATCH_SCAN, 0);
        if (!waitUntil([&] { return trayCallSeen(NIM_MODIFY, processId, NIF_INFO, nullptr); }, 30000))
            return 1;
    }
    std::printf("ticks_ms %.0f %d\n", nowMs() - started, count);
    return 0;
}

int closeSomnivar()
{
    HWND window = somnivarWindow();
    if (!window)
        return 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    const bool ended = !process || WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    if (process)
        CloseHandle(process);
    return ended ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    if (command == "settings")
        return storeSettings(argc - 2, argv + 2);
    if (command == "standin" && argc > 2)
        return useStandIn(std::strcmp(argv[2], "on") == 0);
    if (command == "startup" && argc > 3)
        return timeStartup(count, argc - 3, argv + 3);
    if (command == "expiry")
        return timeExpiry(count);
    if (command == "hooks")
        return sendBurst(count);
    if (command == "memory")
        return printMemory();
    if (command == "ticks")
        return postTicks(count);
    if (command == "close")
        return closeSomnivar();
    std::fprintf(stderr, "usage: bench_probe settings|standin|startup|expiry|hooks|memory|ticks|close ...\n");
    return 2;
}
