// Registry store of the settings: load with first-run and repair, the writes, the uninstall.
#include "settings/settings_store_win.h"

#include <cstdint>

#include "app/process_win.h"
#include "app/windows_win.h"
#include "settings/settings.h"

namespace {

struct StoredValue {
    const char* name;
    int32_t Settings::*field;
};

// The order values are read at start-up. SuspendType follows, on the NT family only.
constexpr StoredValue kReadOrder[] = {
    {settingNames::Time, &Settings::Time},
    {settingNames::Enable, &Settings::Enable},
    {settingNames::Expand, &Settings::Expand},
    {settingNames::ExpType, &Settings::ExpType},
    {settingNames::Resource, &Settings::Resource},
    {settingNames::Value, &Settings::Value},
    {settingNames::Stop, &Settings::Stop},
    {settingNames::StopValue, &Settings::StopValue},
    {settingNames::SuspendOther, &Settings::SuspendOther},
    {settingNames::Monitor, &Settings::Monitor},
    {settingNames::HotKeyUse, &Settings::HotKeyUse},
    {settingNames::HotKeyCode, &Settings::HotKeyCode},
    {settingNames::ApplicationCheck, &Settings::ApplicationCheck},
    {settingNames::TitleCheck, &Settings::TitleCheck},
    {settingNames::OffCheck, &Settings::OffCheck},
    {settingNames::StatusDisplay, &Settings::StatusDisplay},
};

// The order of the full write. Monitor is never part of it: only writeSetting stores it.
constexpr StoredValue kFullWriteOrder[] = {
    {settingNames::Time, &Settings::Time},
    {settingNames::Enable, &Settings::Enable},
    {settingNames::Expand, &Settings::Expand},
    {settingNames::ExpType, &Settings::ExpType},
    {settingNames::Resource, &Settings::Resource},
    {settingNames::Value, &Settings::Value},
    {settingNames::Stop, &Settings::Stop},
    {settingNames::StopValue, &Settings::StopValue},
    {settingNames::SuspendOther, &Settings::SuspendOther},
    {settingNames::HotKeyUse, &Settings::HotKeyUse},
    {settingNames::HotKeyCode, &Settings::HotKeyCode},
    {settingNames::ApplicationCheck, &Settings::ApplicationCheck},
    {settingNames::TitleCheck, &Settings::TitleCheck},
    {settingNames::OffCheck, &Settings::OffCheck},
};

// Written after the rest, and only on the NT family: the 9x shell cannot show the watch status
// and the 9x suspend has no hibernate argument.
constexpr StoredValue kNtOnlyWriteOrder[] = {
    {settingNames::StatusDisplay, &Settings::StatusDisplay},
    {settingNames::SuspendType, &Settings::SuspendType},
};

constexpr const char* kUninstallCaption = "Somnivar レジストリ・アンインストール";
constexpr const char* kNoRegistryDataText = "削除するレジストリデータがありません。";
constexpr const char* kNoSettingsKeyText = "設定保存用のレジストリデータがありません。";
constexpr const char* kConfirmDeleteText = "Somnivar の設定をレジストリより削除しますか？";
constexpr const char* kProgramEndsText = "プログラムを終了します。";

constexpr DWORD kSubkeyNameCapacity = 256;

void storeDword(HKEY key, const char* name, int32_t value)
{
    const DWORD data = static_cast<DWORD>(value);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

// Reads a value over the field. Only what the program writes counts: a REG_DWORD of 4 bytes. Any
// other type or size counts as missing (a string "30" would otherwise read as 12339, and a Value
// or StopValue out of range blocks every OK of the settings dialog), so it is repaired with the
// default as a missing value is. The read goes through a copy because the platform leaves the
// buffer undefined when the data is too long, and the repair write that follows a failed read
// would store such torn bytes.
bool readStoredValue(HKEY key, const char* name, int32_t* field)
{
    int32_t data = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return false;
    *field = data;
    return true;
}

int countSubkeys(HKEY key)
{
    int count = 0;
    for (;;) {
        char name[kSubkeyNameCapacity];
        DWORD nameLength = kSubkeyNameCapacity;
        if (RegEnumKeyExA(key, static_cast<DWORD>(count), name, &nameLength, nullptr, nullptr, nullptr, nullptr)
            != ERROR_SUCCESS)
            return count;
        ++count;
    }
}

// The maker's key goes only when nothing of another product is left in it.
void deleteMakerKeyWhenEmpty()
{
    HKEY maker;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMakerKey, 0, KEY_READ, &maker) != ERROR_SUCCESS)
        return;
    const int subkeys = countSubkeys(maker);
    RegCloseKey(maker);
    if (subkeys == 0)
        RegDeleteKeyA(HKEY_CURRENT_USER, kMakerKey);
}

bool keyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

void loadSettings()
{
    HKEY maker;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kMakerKey, &maker) != ERROR_SUCCESS) {
        if (RegCreateKeyA(HKEY_CURRENT_USER, kMakerKey, &maker) == ERROR_SUCCESS)
            RegCloseKey(maker);
        writeAllSettings(1);
        firstRun = 1;
        return;
    }
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS) {
        RegCloseKey(maker);
        writeAllSettings(1);
        firstRun = 1;
        return;
    }
    // A value that cannot be read rewrites the record as it stands, so the value itself and
    // every later one are back at the defaults in the registry and read back as such.
    for (const StoredValue& value : kReadOrder) {
        if (!readStoredValue(key, value.name, &(settings.*value.field)))
            writeAllSettings(0);
    }
    if (isNtPlatform && !readStoredValue(key, settingNames::SuspendType, &settings.SuspendType))
        writeAllSettings(0);
    RegCloseKey(key);
    RegCloseKey(maker);
}

void writeAllSettings(int create)
{
    HKEY key;
    const LONG opened = create == 1 ? RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, &key)
                                    : RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, &key);
    if (opened != ERROR_SUCCESS)
        return;
    for (const StoredValue& value : kFullWriteOrder)
        storeDword(key, value.name, settings.*value.field);
    if (isNtPlatform) {
        for (const StoredValue& value : kNtOnlyWriteOrder)
            storeDword(key, value.name, settings.*value.field);
    }
    RegCloseKey(key);
}

void writeSetting(const char* name, int value)
{
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, &key) != ERROR_SUCCESS)
        return;
    storeDword(key, name, value);
    RegCloseKey(key);
}

int deleteSettings(HWND owner)
{
    if (!keyExists(kMakerKey)) {
        MessageBoxA(owner, kNoRegistryDataText, kAppName, MB_ICONWARNING);
        return 0;
    }
    if (!keyExists(kSettingsKey)) {
        MessageBoxA(owner, kNoSettingsKeyText, kAppName, MB_ICONWARNING);
        return 0;
    }
    const int answer = MessageBoxA(owner, kConfirmDeleteText, kUninstallCaption, MB_ICONQUESTION | MB_YESNOCANCEL);
    // Anything but a clear Yes or No (Cancel, Esc, a box that could not be shown) keeps going.
    if (answer != IDYES && answer != IDNO)
        return 0;
    if (answer == IDYES) {
        RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
        deleteMakerKeyWhenEmpty();
    }
    MessageBoxA(owner, kProgramEndsText, kAppName, MB_ICONINFORMATION);
    return 1;
}
