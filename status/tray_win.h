// Tray icon, enable state, status line and balloons.
#pragma once
#include <windows.h>
#include <shellapi.h>

extern NOTIFYICONDATAA trayIconRecord;   // one record for the whole run
extern int freeResourcePercent;          // last measured free resources (9x), 0 until measured

// Balloon icon kinds.
constexpr DWORD kBalloonInfo = 1;
constexpr DWORD kBalloonWarning = 2;
constexpr DWORD kBalloonError = 3;

void setEnableState(int on);
// Composes the status line from the current state into buffer (bounded) and fits it to the tip.
void buildStatusLine(char* buffer, size_t bufferSize);
// Fills the tray icon record for the current Enable state (icon, tip) without calling the shell.
void fillTrayIconRecord();
// Rebuilds the tooltip and sends NIM_MODIFY (the 1-second refresh).
void refreshTrayTip();
BOOL showTrayBalloon(HWND owner, const char* text, const char* title, DWORD kind);
