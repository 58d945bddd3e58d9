#include "watchlists/listfiles_win.h"

WatchList programList;
WatchList titleList;
int programListPresent;
int titleListPresent;

unsigned loadProgramList() { return 0; }
unsigned loadTitleList() { return 0; }
void freeWatchLists()
{
    programList.text.reset();
    titleList.text.reset();
}
