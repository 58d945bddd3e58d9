// The one helper program the tests start:
//   helper windows T...     hidden top-level windows titled T..., then one "helper ready <pid>"
//   anything else           just exist for a minute (copied under watched program names)
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || std::string(argv[1]) != "windows") {
        Sleep(60000);
        return 0;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "SomnivarTestTitle";
    RegisterClassA(&windowClass);
    const std::string ready = "helper ready " + std::to_string(GetCurrentProcessId());
    for (int i = 2; i <= argc; ++i)
        CreateWindowExA(0, windowClass.lpszClassName, i < argc ? argv[i] : ready.c_str(), WS_OVERLAPPED, 0, 0, 100,
                        100, nullptr, nullptr, nullptr, nullptr);
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER)
        DispatchMessageA(&message);
    return 0;
}
