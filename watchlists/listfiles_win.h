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

// Read the file into its list. Return the new length, or 0 when the file cannot be opened (the
// present flag is cleared, the old list stays) or read (the list becomes empty).
unsigned loadProgramList();
unsigned loadTitleList();
void freeWatchLists();

// Opens a list file the way the loaders do (no sharing) and reads its last-write time. Returns 0
// when the file cannot be opened.
int readListFileTime(const char* fileName, uint64_t* lastWriteTime);
