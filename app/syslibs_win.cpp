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

// A function of a library that every process has loaded already (KERNEL32, USER32): asking
// loads nothing.
FARPROC loadedFunction(const char* moduleName, const char* functionName)
{
    HMODULE module = GetModuleHandleA(moduleName);
    return module ? GetProcAddress(module, functionName) : nullptr;
}

template <typename Function>
void assign(Function* slot, FARPROC found)
{
    *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
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
    SetDefaultDllDirectoriesProc setDefault;
    assign(&setDefault, loadedFunction("KERNEL32.DLL", "SetDefaultDllDirectories"));
    if (setDefault && setDefault(kLoadLibrarySearchSystem32))
        return;
    SetDllDirectoryProc setDirectory;
    assign(&setDirectory, loadedFunction("KERNEL32.DLL", "SetDllDirectoryA"));
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
    assign(&systemCalls.getLastInputInfo, loadedFunction("USER32.DLL", "GetLastInputInfo"));
    assign(&systemCalls.setSuspendState, systemFunction("POWRPROF.DLL", "SetSuspendState"));
    assign(&systemCalls.getPwrCapabilities, systemFunction("POWRPROF.DLL", "GetPwrCapabilities"));
    assign(&systemCalls.getFileVersionInfoSize, systemFunction("VERSION.DLL", "GetFileVersionInfoSizeA"));
    assign(&systemCalls.getFileVersionInfo, systemFunction("VERSION.DLL", "GetFileVersionInfoA"));
    assign(&systemCalls.verQueryValue, systemFunction("VERSION.DLL", "VerQueryValueA"));
}
