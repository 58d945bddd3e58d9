// Watch-target scan: running watched programs and present watched titles.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <string_view>

#include "app/processnames.h"
#include "app/titletable.h"
#include "app/watchreport.h"
#include "watchlists/watchlist.h"

// Filled by collectWindowTitle; the title-list editor reads it too (clearTitleTable, then
// EnumWindows with collectWindowTitle, then tableTitle for slots 0 to count - 1).
extern TitleTable windowTitleTable;

// Runs one scan. Returns the found count, or -1 when a list file could not be opened and the
// tick is abandoned.
int runWatchScan();
// EnumWindows callback that fills the window-title table; also used by the title-list editor.
BOOL CALLBACK collectWindowTitle(HWND window, LPARAM parameter);
// Makes the next scan show its report again (command 267).
void invalidateWatchReport();

// Calls visit(name) for every process of the snapshot whose name is not reserved, until visit
// returns false. A snapshot that could not be taken holds no process.
template <typename Visit>
void forEachWatchableProcess(HANDLE snapshot, Visit visit)
{
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof(process);
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process)) {
        const std::string_view path(process.szExeFile, strnlen(process.szExeFile, sizeof(process.szExeFile)));
        const std::string_view name = processNameFromPath(path);
        if (isReservedProcessName(name))
            continue;
        if (!visit(name))
            return;
    }
}
