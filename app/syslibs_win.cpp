#include "app/syslibs_win.h"

#include <cstring>

#include "app/bytes.h"
#include "app/process_win.h"

SystemCalls systemCalls;

namespace {

constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

struct LoadedLibrary {
    char name[16];
    HMODULE module;  // null: looked for and missing
};
LoadedLibrary loaded[4];
size_t loadedCount;
bool systemCallsLookedUp;

FARPROC kernelFunction(const char* name)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}

template <typename Function>
void lookUp(Function* slot, const char* library, const char* name)
{
    *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(systemFunction(library, name)));
}

HMODULE loadFromSystemFolder(const char* fileName)
{
    char path[MAX_PATH];
    systemDirectoryPath(fileName, path, sizeof(path));
    return path[0] ? LoadLibraryA(path) : nullptr;
}

} // namespace

void narrowLibrarySearch()
{
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(kernelFunction("SetDefaultDllDirectories")));
    if (setDefault && setDefault(kLoadLibrarySearchSystem32))
        return;
    auto setDirectory = reinterpret_cast<SetDllDirectoryProc>(
        reinterpret_cast<void*>(kernelFunction("SetDllDirectoryA")));
    if (setDirectory)
        setDirectory("");
}

HMODULE systemLibrary(const char* fileName)
{
    for (size_t i = 0; i < loadedCount; ++i)
        if (lstrcmpiA(loaded[i].name, fileName) == 0)
            return loaded[i].module;
    HMODULE module = loadFromSystemFolder(fileName);
    if (loadedCount < sizeof(loaded) / sizeof(loaded[0]) && std::strlen(fileName) < sizeof(loaded[0].name)) {
        copyBounded(loaded[loadedCount].name, sizeof(loaded[0].name), fileName);
        loaded[loadedCount++].module = module;
    }
    return module;
}

FARPROC systemFunction(const char* fileName, const char* functionName)
{
    HMODULE module = systemLibrary(fileName);
    return module ? GetProcAddress(module, functionName) : nullptr;
}

void lookUpSystemCalls()
{
    if (systemCallsLookedUp)
        return;
    systemCallsLookedUp = true;
    // USER32 is always loaded, so this loads nothing: it only asks.
    HMODULE user = GetModuleHandleA("USER32.DLL");
    systemCalls.getLastInputInfo = reinterpret_cast<decltype(systemCalls.getLastInputInfo)>(
        reinterpret_cast<void*>(user ? GetProcAddress(user, "GetLastInputInfo") : nullptr));
    lookUp(&systemCalls.setSuspendState, "POWRPROF.DLL", "SetSuspendState");
    lookUp(&systemCalls.getPwrCapabilities, "POWRPROF.DLL", "GetPwrCapabilities");
    lookUp(&systemCalls.getFileVersionInfoSize, "VERSION.DLL", "GetFileVersionInfoSizeA");
    lookUp(&systemCalls.getFileVersionInfo, "VERSION.DLL", "GetFileVersionInfoA");
    lookUp(&systemCalls.verQueryValue, "VERSION.DLL", "VerQueryValueA");
}
