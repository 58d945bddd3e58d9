// Watch-target scan: running watched programs and present watched titles.
#pragma once
#include <windows.h>

#include <string_view>

#include "app/watchreport.h"

// Filled by collectWindowTitle; the title-list editor reads it too (clearTitleTable, then
// EnumWindows with collectWindowTitle, then tableTitle for slots 0 to count - 1).
extern TitleTable windowTitleTable;

// Runs one scan. Returns the found count, or -1 when a list file could not be opened and the
// tick is abandoned.
int runWatchScan();
// EnumWindows callback that fills the window-title table; also used by the title-list editor.
BOOL CALLBACK collectWindowTitle(HWND window, LPARAM parameter);
// The report the last scan built ("" when nothing was found).
std::string_view lastWatchReport();
// Makes the next scan show its report again (command 267).
void invalidateWatchReport();
// Binds collectWindowTitle as the title watch's enumeration callback (called once at start-up).
void bindTitleCollector();
