// The process-wide handles and flags every subsystem reads, and the fatal path. This file uses
// no other part of the program, so that every part can use it.
#pragma once
#include <windows.h>
#include <commctrl.h>

// ---- Start-up flags: plain 32-bit integers, 0 or 1 unless stated.
extern int isNtPlatform;
extern int shellMajorVersion;      // leading integer of Shell32.dll's ProductVersion, 0 if unreadable
extern int readmeAvailable;        // Readme.txt exists and RICHED32.DLL loads
extern int balloonErrorMode;       // -M: suspend errors go to a tray balloon
extern int processWatchAvailable;  // a process snapshot could be taken at start
extern int firstRun;               // the settings key was missing
extern int pendingLaunchCommand;   // -1 none, 0 readme-only start, 258/263/264 one suspend then end
extern int shutdownPrivilegeHeld;
extern int inputHooksInstalled;    // SetHook succeeded at start; the hooks are to be kept
extern int launchSuspendPending;   // a launch option's suspend: 1 still to come, 2 handled

// Resource meter of the 9x family; freeResourcesProc(0) returns the free resources in percent.
typedef int(WINAPI* FreeResourcesProc)(int);
extern HMODULE resourceMeterLibrary;
extern FreeResourcesProc freeResourcesProc;

extern HINSTANCE appInstance;
extern HWND mainWindow;
extern HACCEL acceleratorTable;

// ---- Modeless windows: null while closed; every opener tests, every closer clears.
extern HWND aboutBox;
extern HWND settingsDialog;
extern HWND cautionWindow;
extern HWND readmeViewer;
extern HWND programEditor;
extern HWND titleEditor;

// The one fatal path: shows text and then "終了します。", both as error boxes captioned
// "Somnivar", and queues the quit that lets the ordinary shutdown run. Only the first fatal
// condition is shown; any later one, from any part of the program, adds neither a box nor a quit.
void showFatalError(HWND owner, const char* text);
extern int fatalErrorShown;   // 1 from the first fatal condition on
void centerWindowOnScreen(HWND window);

// Full path of a file in the system directory, bounded; "" when it does not fit.
void systemDirectoryPath(const char* fileName, char* path, size_t pathSize);
