#include "app/scan_win.h"

int runWatchScan() { return 0; }
BOOL CALLBACK collectWindowTitle(HWND, LPARAM) { return TRUE; }
void invalidateWatchReport() {}
void bindTitleCollector() {}
