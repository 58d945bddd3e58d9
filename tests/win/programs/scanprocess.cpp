// A process that only exists: the watch tests copy it under a watched name (notepad.exe, say),
// start it and end it. It ends by itself after the number of seconds given (default 120), so a
// test that dies never leaves it behind for long.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    Sleep(static_cast<DWORD>(seconds > 0 ? seconds : 120) * 1000);
    return 0;
}
