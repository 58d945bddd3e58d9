// Registry store of the settings under HKEY_CURRENT_USER\Software\Orlenby\Somnivar\.
#pragma once
#include <windows.h>

constexpr const char* kMakerKey = "Software\\Orlenby\\";
constexpr const char* kSettingsKey = "Software\\Orlenby\\Somnivar\\";

void loadSettings();
void writeAllSettings(int create);
void writeSetting(const char* name, int value);
// The registry uninstall. Returns 1 when the program is to end, 0 when it goes on.
int deleteSettings(HWND owner);
