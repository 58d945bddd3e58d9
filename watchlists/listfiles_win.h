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

unsigned loadProgramList();
unsigned loadTitleList();
void freeWatchLists();
