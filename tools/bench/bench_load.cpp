// Load for the scan figures: hidden top-level windows with titles, and idle processes.
//   bench_load [-p PROCESSES] [-n WINDOWS PREFIX]
// -p starts that many copies of itself that only wait; -n creates windows titled PREFIX0,
// PREFIX1, ... Prints "ready" when everything exists, then waits until WM_CLOSE reaches one
// of its windows (the copies wait for good: the benchmark ends the whole Wine session).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void startIdleCopy()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string commandLine = std::string("\"") + path + "\" -w";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            // Started: wait until it runs, so the snapshot that follows holds it.
            WaitForInputIdle(info.hProcess, 5000);
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
            return;
        }
        Sleep(200);
    }
}

} // namespace

int main(int argc, char** argv)
{
    int processes = 0;
    int windows = 0;
    std::string prefix = "Document ";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-w")) {
            Sleep(INFINITE);
        } else if (!std::strcmp(argv[i], "-p") && i + 1 < argc) {
            processes = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "-n") && i + 2 < argc) {
            windows = std::atoi(argv[++i]);
            prefix = argv[++i];
        }
    }
    for (int i = 0; i < processes; ++i)
        startIdleCopy();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SomnivarBenchLoad";
    RegisterClassA(&windowClass);
    for (int i = 0; i < windows; ++i) {
        const std::string title = prefix + std::to_string(i);
        CreateWindowExA(0, windowClass.lpszClassName, title.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                        windowClass.hInstance, nullptr);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
