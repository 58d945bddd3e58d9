// Test helper: reports the platform Wine shows a program. Exit code: platform id * 10000 +
// major version * 100 + minor version (win98: 10410, winxp: 20501).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        return 1;
    return static_cast<int>(version.dwPlatformId * 10000 + version.dwMajorVersion * 100 + version.dwMinorVersion);
}
