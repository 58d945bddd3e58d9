// System functions newer than the oldest Windows the program runs on, and system libraries that
// Windows does not keep in its own list of known libraries. Both are looked up at run time, once,
// and only from the system folder: a library of the same name in the folder the program was
// unpacked to, or in the working folder with the list files, is never loaded.
#pragma once
#include <windows.h>

// Takes the application and working folders out of the library search path where the system
// offers a way (Windows 8 and updated 7/Vista: system folder only; XP SP1 and later: no working
// folder). Called before anything else loads a library.
void narrowLibrarySearch();

// The named library from the system folder, loaded at the first request and kept for the life
// of the process; null when it is not there. A few names at most: a name beyond the table's
// room is loaded afresh each time.
HMODULE systemLibrary(const char* fileName);
// A function of a system library, or null when the library or the function is missing.
FARPROC systemFunction(const char* fileName, const char* functionName);

// The last-input record of Windows 2000 (Microsoft's headers declare it only from the NT 5 level).
struct LastInputRecord {
    UINT cbSize;
    DWORD dwTime;
};

// Null members are functions this system does not have.
struct SystemCalls {
    BOOL(WINAPI* getLastInputInfo)(LastInputRecord*);                  // USER32, 2000 and later
    BOOLEAN(WINAPI* setSuspendState)(BOOLEAN, BOOLEAN, BOOLEAN);        // POWRPROF
    BOOLEAN(WINAPI* getPwrCapabilities)(SYSTEM_POWER_CAPABILITIES*);   // POWRPROF
    DWORD(WINAPI* getFileVersionInfoSize)(LPCSTR, LPDWORD);            // VERSION
    BOOL(WINAPI* getFileVersionInfo)(LPCSTR, DWORD, DWORD, LPVOID);    // VERSION
    BOOL(WINAPI* verQueryValue)(LPCVOID, LPCSTR, LPVOID*, PUINT);      // VERSION
};
extern SystemCalls systemCalls;
// Fills systemCalls at the first call; later calls return at once.
void lookUpSystemCalls();
