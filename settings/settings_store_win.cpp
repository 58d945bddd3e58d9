#include "settings/settings_store_win.h"
#include "settings/settings.h"

void loadSettings() {}
void writeAllSettings(int) {}
void writeSetting(const char*, int) {}
int deleteSettings(HWND) { return 0; }
