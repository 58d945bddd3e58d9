// Creates hidden top-level windows with the titles it is given, then waits. Titles are code page
// 932 bytes. Arguments, in any order:
//   -n COUNT PREFIX   COUNT windows titled PREFIX0, PREFIX1, ...
//   -f FILE           one window per line of FILE (CR LF or LF)
//   -t SECONDS        end after this long (default 120)
//   TITLE             one window with this title
// When every window exists it creates one more titled "scanwindows ready <process id>", so a
// test knows the set is complete. Ends on WM_CLOSE to any of its windows, or after the time-out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kClassName = "SomnivarTestTitleWindow";

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<std::string> linesOf(const char* path)
{
    std::vector<std::string> lines;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return lines;
    std::string line;
    for (int byte = std::fgetc(file); byte != EOF; byte = std::fgetc(file)) {
        if (byte == '\r' || byte == '\n') {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(byte);
        }
    }
    if (!line.empty())
        lines.push_back(line);
    std::fclose(file);
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> titles;
    int seconds = 120;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-n") && i + 2 < argc) {
            const int count = std::atoi(argv[i + 1]);
            for (int n = 0; n < count; ++n)
                titles.push_back(std::string(argv[i + 2]) + std::to_string(n));
            i += 2;
        } else if (!std::strcmp(argv[i], "-f") && i + 1 < argc) {
            for (const std::string& line : linesOf(argv[++i]))
                titles.push_back(line);
        } else if (!std::strcmp(argv[i], "-t") && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            titles.push_back(argv[i]);
        }
    }
    titles.push_back("scanwindows ready " + std::to_string(GetCurrentProcessId()));

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    for (const std::string& title : titles)
        CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                        windowClass.hInstance, nullptr);

    SetTimer(nullptr, 0, static_cast<UINT>(seconds > 0 ? seconds : 120) * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER)
            break;
        DispatchMessageA(&message);
    }
    return 0;
}
