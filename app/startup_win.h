// Start-up, command line, message loop and shutdown, and the process-wide state they prepare.
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

// ---- Owned by the list editors; read by the message loop and shutdown. (The readme viewer's
// control is in info/dialogs_win.h.)
constexpr int kEntryBufferSize = 1024;
extern HWND inPlaceEdit;
extern char textBeforeEdit[kEntryBufferSize];
extern RECT programEditorOpeningRect;
extern RECT titleEditorOpeningRect;

// ---- Tooltip slots of the settings dialog, emptied at shutdown.
constexpr int kTooltipSlotCount = 20;
struct TooltipSlot {
    HWND window;
    TOOLINFOA info;
};
extern TooltipSlot tooltipSlots[kTooltipSlotCount];

// The whole life of the program: start-up, message loop, shutdown. Returns the exit code.
int somnivarMain(HINSTANCE instance, int showCommand);

// Shows text and then "終了します。", both as error boxes captioned "Somnivar". Ends nothing.
void showFatalError(HWND owner, const char* text);
void centerWindowOnScreen(HWND window);
int setShutdownPrivilege(int enable);

// Full path of a file in the system directory, bounded; "" when it does not fit.
void systemDirectoryPath(const char* fileName, char* path, size_t pathSize);
