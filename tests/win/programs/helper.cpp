// The one helper program the tests start:
//   helper instance         a window of class and title "Somnivar" that appends "<wParam> <lParam>
//                           begin"/"end" to commands.txt for every WM_COMMAND (7 takes 300 ms)
//   helper windows T...     hidden top-level windows titled T..., then one "helper ready <pid>"
//   helper install          SetHook of Vantrel.dll (bound at run time from beside the helper),
//                           signal "VantrelProbeReady", wait for "VantrelProbeStop", FreeHook;
//                           exit 100 + the platform id
//   anything else           just exist for a minute (copied under watched program names)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

LRESULT CALLBACK instanceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COMMAND)
        return DefWindowProcA(window, message, wParam, lParam);
    for (const char* stage : {"begin", "end"}) {
        if (stage[0] == 'e' && LOWORD(wParam) == 7)
            Sleep(300);
        FILE* file = std::fopen("commands.txt", "ab");
        std::fprintf(file, "%lu %ld %s\n", static_cast<unsigned long>(wParam), static_cast<long>(lParam), stage);
        std::fclose(file);
    }
    return 0;
}

int hookProbe()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::strcpy(std::strrchr(path, '\\') + 1, "Vantrel.dll");
    HMODULE library = LoadLibraryA(path);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VantrelProbeReady");
    HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, "VantrelProbeStop");
    auto setHook = reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(library, "SetHook")));
    auto freeHook = reinterpret_cast<void (*)()>(GetProcAddress(library, "FreeHook"));
    if (!setHook || !freeHook || !ready || !stop || !setHook())
        return 5;
    SetEvent(ready);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
        if (MsgWaitForMultipleObjects(1, &stop, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    freeHook();
    OSVERSIONINFOA version = {sizeof(version)};
    GetVersionExA(&version);
    return 100 + static_cast<int>(version.dwPlatformId);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "install")
        return hookProbe();
    if (mode != "instance" && mode != "windows") {
        Sleep(60000);
        return 0;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = mode == "instance" ? instanceProc : DefWindowProcA;
    windowClass.lpszClassName = mode == "instance" ? "Somnivar" : "SomnivarTestTitle";
    RegisterClassA(&windowClass);
    if (mode == "instance")
        CreateWindowExA(0, "Somnivar", "Somnivar", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    const std::string ready = "helper ready " + std::to_string(GetCurrentProcessId());
    for (int i = 2; i <= argc && mode == "windows"; ++i)
        CreateWindowExA(0, windowClass.lpszClassName, i < argc ? argv[i] : ready.c_str(), WS_OVERLAPPED, 0, 0, 100,
                        100, nullptr, nullptr, nullptr, nullptr);
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER)
        DispatchMessageA(&message);
    return 0;
}
