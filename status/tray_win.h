// Tray icon, enable state, status line and balloons.
#pragma once
#include <windows.h>
#include <shellapi.h>

extern NOTIFYICONDATAA trayIconRecord;   // one record for the whole run
extern int freeResourcePercent;          // last measured free resources (9x), 0 until measured

// The size the shell is told for the tray and balloon records: the shell 5 layout, which has
// the balloon fields (488 bytes on x86; the x64 layout is larger, and Wine drops the balloons
// of an x64 record that claims 488).
constexpr DWORD kNotifyRecordSize = NOTIFYICONDATAA_V2_SIZE;

// Balloon icon kinds.
constexpr DWORD kBalloonInfo = 1;
constexpr DWORD kBalloonWarning = 2;
constexpr DWORD kBalloonError = 3;

// Switches the automatic suspend on (1) or off (anything else) and brings the idle timer, the
// menu marks, the icon, the tooltip and the stored settings into line.
void setEnableState(int on);
// Check marks and default item of the tray menu's on and off rows for an Enable value.
void applyMenuMarks(int enabled);
// Composes the status line from the current state into buffer (bounded) and fits it to the tip.
void buildStatusLine(char* buffer, size_t bufferSize);
// Fills the tray icon record for the current Enable state (icon, tip) without calling the shell;
// what the shell shows is unknown again until a call through notifyTrayIcon is accepted.
void fillTrayIconRecord();
// Sends the tray icon record and remembers what the notification area accepted, for the
// refresh. Returns the shell's result.
BOOL notifyTrayIcon(DWORD message);
// Rebuilds the tooltip and sends NIM_MODIFY when the tooltip or the icon differs from what the
// notification area last accepted, or when the last call was refused (the 1-second refresh).
void refreshTrayTip();
// Shows a balloon on the program's icon; the text is cut to what the balloon holds.
BOOL showTrayBalloon(HWND owner, const char* text, const char* title, DWORD kind);
