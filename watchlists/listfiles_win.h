// The two watch-list files and their in-memory lists.
#pragma once
#include <windows.h>
#include "watchlists/watchlist.h"

constexpr const char* kProgramListFile = "FileList.txt";
constexpr const char* kTitleListFile = "TitleList.txt";

extern WatchList programList;
extern WatchList titleList;
extern int programListPresent;
extern int titleListPresent;

// Read the file into its list. Return the new length, or 0 when the file cannot be opened or
// read: the old list stays, and the present flag is cleared only when the file is gone.
unsigned loadProgramList();
unsigned loadTitleList();
void freeWatchLists();

// Whether a failed open's error says that the file is not there (rather than held or refused).
bool isListFileGone(DWORD error);

// Opens a list file the way the loaders do (no sharing) and reads its last-write time. Returns 0
// when the file cannot be opened, GetLastError telling why.
int readListFileTime(const char* fileName, uint64_t* lastWriteTime);
