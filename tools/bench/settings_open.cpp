// Measures the time from the settings command (259 to the main window) until the settings
// dialog is visible and has finished its initialisation, as the median of several openings.
// Prints one markdown row for docs/PERFORMANCE.md.
//   settings_open.exe PATH\Somnivar.exe [openings]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char kDialogTitle[] = "Somnivar \x82\xcc\x90\xdd\x92\xe8";   // "Somnivar の設定" in code page 932

double nowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

DWORD ownerOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

HWND findDialog(DWORD process)
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", kDialogTitle));) {
        if (ownerOf(window) == process)
            return window;
    }
    return nullptr;
}

// Answered only once the program's thread is back in its loop, that is after WM_INITDIALOG.
bool answers(HWND window)
{
    DWORD_PTR result;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

bool waitGone(HWND window)
{
    for (const double start = nowMs(); nowMs() - start < 5000; Sleep(5)) {
        if (!IsWindow(window))
            return true;
    }
    return false;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: settings_open PATH\\Somnivar.exe [openings]\n");
        return 2;
    }
    const int openings = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    if (FindWindowA("Somnivar", "Somnivar")) {
        std::fprintf(stderr, "settings_open: a Somnivar runs already in this prefix\n");
        return 1;
    }
    HKEY existing;
    const bool keyExisted = RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", &existing) == ERROR_SUCCESS;
    if (keyExisted)
        RegCloseKey(existing);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program = {};
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof(commandLine), "\"%s\"", argv[1]);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program)) {
        std::fprintf(stderr, "settings_open: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    HWND mainWindow = nullptr;
    for (const double start = nowMs(); !mainWindow && nowMs() - start < 15000; Sleep(10)) {
        HWND found = FindWindowA("Somnivar", "Somnivar");
        if (found && ownerOf(found) == program.dwProcessId)
            mainWindow = found;
    }
    std::vector<double> openTimes, floorTimes;
    if (mainWindow) {
        // A first run opens the dialog by itself; it has to go before the measured openings.
        Sleep(2000);
        if (HWND firstRun = findDialog(program.dwProcessId)) {
            PostMessageA(firstRun, WM_COMMAND, IDCANCEL, 0);
            waitGone(firstRun);
        }
        for (int i = 0; i < openings; ++i) {
            const double floorStart = nowMs();
            answers(mainWindow);
            floorTimes.push_back(nowMs() - floorStart);

            const double start = nowMs();
            PostMessageA(mainWindow, WM_COMMAND, 259, 0);
            HWND dialog = nullptr;
            while (nowMs() - start < 10000) {
                dialog = findDialog(program.dwProcessId);
                if (dialog && IsWindowVisible(dialog) && answers(dialog))
                    break;
                dialog = nullptr;
                Sleep(1);   // polls without taking the core the program needs
            }
            if (!dialog)
                break;
            openTimes.push_back(nowMs() - start);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            waitGone(dialog);
            Sleep(200);
        }
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(program.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(program.hProcess, 1);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    if (!keyExisted) {
        // Leave the prefix as it was: a first run left the keys behind.
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar");
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Orlenby");
    }
    if (openTimes.size() != static_cast<size_t>(openings)) {
        std::fprintf(stderr, "settings_open: the dialog did not open (%zu of %d)\n", openTimes.size(), openings);
        return 1;
    }
    std::printf("| settings dialog: command 259 to the visible, initialised dialog (median of %d) | %.1f ms | "
                "floor: a message round trip to the main window, %.2f ms | posted 259, polled every 1 ms: FindWindow + "
                "IsWindowVisible + a WM_NULL answer; QueryPerformanceCounter; x64 under Wine |\n",
                openings, median(openTimes), median(floorTimes));
    return 0;
}
