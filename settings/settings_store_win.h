// Registry store of the settings under HKEY_CURRENT_USER\Software\Orlenby\Somnivar\.
// Value names live in settings/settings.h (settingNames).
#pragma once
#include <windows.h>

constexpr const char* kMakerKey = "Software\\Orlenby\\";
constexpr const char* kSettingsKey = "Software\\Orlenby\\Somnivar\\";

// Fills the record from the registry; creates the keys with the defaults on a first run (and
// sets firstRun). A value that cannot be read rewrites the whole set as it stands at once.
void loadSettings();
// Stores every value except Monitor (StatusDisplay and SuspendType on the NT family only).
// create 1 creates the settings key when it is missing; 0 only opens it.
void writeAllSettings(int create);
// Stores one value as REG_DWORD; never creates the key.
void writeSetting(const char* name, int value);
// The registry uninstall. Returns 1 when the program is to end, 0 when it goes on.
int deleteSettings(HWND owner);
