// Helper for the hook library tests: binds the Vantrel.dll that lies beside it at run time,
// so that the test decides which copy (and so which shared section) it maps.
//   hookprobe freehook   FreeHook, then exit with the activity flag
//   hookprobe check      exit with the activity flag
//   hookprobe install    SetHook, signal "VantrelProbeReady", wait for "VantrelProbeStop"
//                        (at most 30 s), FreeHook; exit 100 + the platform id the library saw
// Exit codes 1 to 9 say what failed.
#include <windows.h>

#include <cstring>

#include "hooklib/vantrel.h"

namespace {

HMODULE loadLibraryBesideMe()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return nullptr;
    char* slash = std::strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash + 1 - path) + sizeof("Vantrel.dll") > sizeof(path))
        return nullptr;
    std::strcpy(slash + 1, "Vantrel.dll");
    return LoadLibraryA(path);
}

int install(SetHookProc setHook, FreeHookProc freeHook)
{
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VantrelProbeReady");
    HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, "VantrelProbeStop");
    if (!ready || !stop)
        return 5;
    if (!setHook())
        return 6;
    SetEvent(ready);
    // Low-level hooks are called through this thread's messages; keep retrieving them.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 30000) {
        if (MsgWaitForMultipleObjects(1, &stop, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    freeHook();
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return 100 + static_cast<int>(version.dwPlatformId);
}

// GetProcAddress gives a generic function pointer; go through void (*)() to the real type.
template <typename Proc>
Proc bind(HMODULE library, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 1;
    HMODULE library = loadLibraryBesideMe();
    if (!library)
        return 2;
    auto setHook = bind<SetHookProc>(library, "SetHook");
    auto freeHook = bind<FreeHookProc>(library, "FreeHook");
    auto messageCheck = bind<MessageCheckProc>(library, "MessageCheck");
    if (!setHook || !freeHook || !messageCheck)
        return 3;
    if (std::strcmp(argv[1], "freehook") == 0) {
        freeHook();
        return messageCheck();
    }
    if (std::strcmp(argv[1], "check") == 0)
        return messageCheck();
    if (std::strcmp(argv[1], "install") == 0)
        return install(setHook, freeHook);
    return 4;
}
