#include "status/tray_win.h"
#include "app/startup_win.h"
#include "settings/settings.h"

NOTIFYICONDATAA trayIconRecord;
int freeResourcePercent = 0;

void setEnableState(int on) { settings.Enable = on == 1 ? 1 : 0; }
void buildStatusLine(char* buffer, size_t bufferSize) { if (bufferSize) buffer[0] = '\0'; }
void fillTrayIconRecord() {}
void refreshTrayTip() {}
BOOL showTrayBalloon(HWND, const char*, const char*, DWORD) { return FALSE; }
