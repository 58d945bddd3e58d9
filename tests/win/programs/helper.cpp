// The one helper program the tests start:
//   helper instance         a window of class and title "Somnivar" that appends "<wParam> <lParam>
//                           begin"/"end" to commands.txt for every WM_COMMAND (7 takes 300 ms)
//   helper windows T...     hidden top-level windows titled T..., then one "helper ready <pid>"
//   anything else           just exist for a minute (copied under watched program names)
#include <windows.h>

#include <cstdio>
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

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
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
