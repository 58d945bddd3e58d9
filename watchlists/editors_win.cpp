// The list editors come with their own work; until then their buttons open nothing.
#include "watchlists/editors_win.h"

void openProgramEditor() {}
void openTitleEditor() {}
