// Drives the benchmark's copy of Somnivar.exe (BINDIR\bench) through idle suspends with the
// benchmark's power stand-in, for
// tools/bench/detectors.sh.
//   detectors_driver.exe BINDIR
// Phase 1, once with Expand 0 and once with Expand 1: a 3.5-second simulated sleep that handles
// no sent messages. Prints "@before EXPAND" before the suspend, "@start" once the power call is
// running and "@end" 3 s later; the script reads the threads' CPU at those lines.
// Phase 2, Expand 1 and ExpType 1: 20 suspends, in each of which a window titled "共有" is
// created; prints the markdown row of the delay from its creation to the first answer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "tools/bench/bench_power.h"

namespace {

BenchPowerCalls* power;
LARGE_INTEGER answeredAt;
int monitorBroadcasts; // SC_MONITORPOWER before and after the power call
HANDLE program;
HWND monitor; // counts the broadcasts; the confirmation windows receive them too

LRESULT CALLBACK confirmationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && answeredAt.QuadPart == 0)
        QueryPerformanceCounter(&answeredAt);
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MONITORPOWER && window == monitor)
        ++monitorBroadcasts;
    return message == WM_COMMAND ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

void pumpUntil(bool (*done)(), DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(1);
    }
}

void setDword(const char* path, const char* name, DWORD value)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == 0) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
    }
}

void storeSettings(DWORD expand)
{
    const char* path = "Software\\Orlenby\\Somnivar\\";
    const Settings& d = kDefaultSettings;
    const int32_t values[] = {60, 1, int32_t(expand), 1, d.Resource, d.Value, d.Stop, d.StopValue,
                              d.SuspendOther, d.SuspendType, d.Monitor, d.HotKeyUse, d.HotKeyCode,
                              d.ApplicationCheck, d.TitleCheck, d.OffCheck, d.StatusDisplay};
    const char* names[] = {"Time", "Enable", "Expand", "ExpType", "Resource", "Value", "Stop", "StopValue",
                           "SuspendOther", "SuspendType", "Monitor", "HotKeyUse", "HotKeyCode",
                           "ApplicationCheck", "TitleCheck", "OffCheck", "StatusDisplay"};
    for (size_t i = 0; i < sizeof(names) / sizeof(names[0]); ++i)
        setDword(path, names[i], static_cast<DWORD>(values[i]));
}

struct Instance {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

bool start(const std::string& binDirectory, DWORD expand, Instance* instance)
{
    storeSettings(expand);
    std::string command = "\"" + binDirectory + "\\Somnivar.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &instance->process))
        return false;
    for (int i = 0; i < 1500 && !instance->window; ++i, Sleep(10))
        instance->window = FindWindowA("Somnivar", "Somnivar");
    return instance->window != nullptr;
}

void stop(Instance& instance)
{
    PostMessageA(instance.window, WM_CLOSE, 0, 0);
    program = instance.process.hProcess;
    pumpUntil([] { return WaitForSingleObject(program, 0) == WAIT_OBJECT_0; }, 10000);
    if (WaitForSingleObject(instance.process.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(instance.process.hProcess, 1);
    CloseHandle(instance.process.hProcess);
    CloseHandle(instance.process.hThread);
}

// Arms the stand-in and starts an idle suspend; true once the power call runs.
bool suspend(Instance& instance, LONG sleepMs)
{
    std::fill_n(reinterpret_cast<char*>(power), sizeof(*power), 0);
    power->sleepMs = sleepMs;
    monitorBroadcasts = 0;
    PostMessageA(instance.window, WM_TIMER, 9, 0); // no resume grace in the way
    PostMessageA(instance.window, WM_TIMER, 3, 0);
    pumpUntil([] { return power->count != 0; }, 5000);
    return power->count != 0;
}

void mark(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
    pumpUntil([] { return false; }, 1000); // the script reads /proc now
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string bin = std::string(argv[1]) + "\\bench";
    power = mapBenchPowerCalls();
    if (!power)
        return 1;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Somnivar.exe\\DllOverrides", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &key, nullptr) == 0) {
        RegSetValueExA(key, "powrprof", 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
        RegCloseKey(key);
    }
    // The program loads its power library from the system folder only.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    if (!CopyFileA((bin + "\\powrprof.dll").c_str(), (std::string(system) + "\\powrprof.dll").c_str(), FALSE))
        return 1;
    WNDCLASSA windowClass = {0, confirmationProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr,
                             nullptr, "DetectorsBench"};
    RegisterClassA(&windowClass);
    // A window of our own answers the monitor broadcasts, so the program never waits on us.
    monitor = CreateWindowExA(0, "DetectorsBench", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);

    for (DWORD expand : {0u, 1u}) {
        Instance instance;
        if (!start(bin, expand, &instance))
            return 1;
        pumpUntil([] { return false; }, 1000);
        mark(expand ? "@before 1" : "@before 0");
        if (!suspend(instance, 3500))
            return 1;
        mark("@start");
        pumpUntil([] { return false; }, 2000); // with the 1 s of the mark: 3 s
        mark("@end");
        pumpUntil([] { return monitorBroadcasts >= 2; }, 10000);
        if (expand == 0) {
            stop(instance);
            continue;
        }
        std::vector<double> delays;
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        for (int round = 0; round < 20; ++round) {
            if (!suspend(instance, 1000)) {
                std::fprintf(stderr, "detectors_driver: suspend %d did not reach the power call\n", round);
                return 1;
            }
            answeredAt.QuadPart = 0;
            LARGE_INTEGER created;
            QueryPerformanceCounter(&created);
            HWND window = CreateWindowExA(0, "DetectorsBench", "共有", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          nullptr, nullptr);
            pumpUntil([] { return answeredAt.QuadPart != 0; }, 1000);
            if (answeredAt.QuadPart)
                delays.push_back(1000.0 * double(answeredAt.QuadPart - created.QuadPart) / double(frequency.QuadPart));
            pumpUntil([] { return monitorBroadcasts >= 2; }, 10000);
            DestroyWindow(window);
        }
        stop(instance);
        std::sort(delays.begin(), delays.end());
        if (delays.empty())
            std::printf("| confirmation window answered (median of 20) | none answered | - | - |\n");
        else
            std::printf("| confirmation window answered, creation to first WM_COMMAND (median of %zu) | %.1f ms | "
                        "min %.1f ms, max %.1f ms | QueryPerformanceCounter in the window's process, 20 idle "
                        "suspends with the power stand-in asleep |\n",
                        delays.size(), delays[delays.size() / 2], delays.front(), delays.back());
    }
    DestroyWindow(monitor);
    return 0;
}
