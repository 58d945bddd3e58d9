// Registry of the test prefix: the program under test and the tests share it.
#include "harness/harness.h"

#include <cstring>

#include "settings/settings.h"

namespace harness {

namespace {

constexpr const char* kWineAppDefaults = "Software\\Wine\\AppDefaults\\";
constexpr const char* kSettingsKey = "Software\\Orlenby\\Somnivar";

bool deleteSubtree(HKEY parent, const char* name)
{
    HKEY key;
    const LONG opened = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    for (;;) {
        // Always the first subkey: the indices shift as subkeys go.
        char child[256];
        DWORD childLength = sizeof(child);
        if (RegEnumKeyExA(key, 0, child, &childLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!deleteSubtree(key, child)) {
            RegCloseKey(key);
            return false;
        }
    }
    RegCloseKey(key);
    const LONG deleted = RegDeleteKeyA(parent, name);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

} // namespace

bool deleteKeyTree(HKEY root, const char* path)
{
    return deleteSubtree(root, path);
}

bool keyExists(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool readDword(HKEY root, const char* path, const char* name, DWORD* value)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = sizeof(*value);
    const LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD);
}

bool writeDword(HKEY root, const char* path, const char* name, DWORD value)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG written = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

bool readString(HKEY root, const char* path, const char* name, std::string* value)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    LONG read = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::string bytes(size, '\0');
        read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size);
        bytes.resize(size);
        while (!bytes.empty() && bytes.back() == '\0')
            bytes.pop_back();
        *value = bytes;
    } else {
        read = ERROR_INVALID_DATA;
    }
    RegCloseKey(key);
    return read == ERROR_SUCCESS;
}

bool writeString(HKEY root, const char* path, const char* name, const char* value)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG written =
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), lstrlenA(value) + 1);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

bool valueExists(HKEY root, const char* path, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const LONG found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return found == ERROR_SUCCESS;
}

std::vector<std::string> valueNames(HKEY root, const char* path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

bool storeSettings(const std::vector<std::pair<const char*, DWORD>>& overrides)
{
    const Settings& d = kDefaultSettings;
    const std::pair<const char*, int32_t> defaults[] = {
        {settingNames::Time, d.Time},
        {settingNames::Enable, d.Enable},
        {settingNames::Expand, d.Expand},
        {settingNames::ExpType, d.ExpType},
        {settingNames::Resource, d.Resource},
        {settingNames::Value, d.Value},
        {settingNames::Stop, d.Stop},
        {settingNames::StopValue, d.StopValue},
        {settingNames::SuspendOther, d.SuspendOther},
        {settingNames::SuspendType, d.SuspendType},
        {settingNames::Monitor, d.Monitor},
        {settingNames::HotKeyUse, d.HotKeyUse},
        {settingNames::HotKeyCode, d.HotKeyCode},
        {settingNames::ApplicationCheck, d.ApplicationCheck},
        {settingNames::TitleCheck, d.TitleCheck},
        {settingNames::OffCheck, d.OffCheck},
        {settingNames::StatusDisplay, d.StatusDisplay},
    };
    bool stored = true;
    for (const auto& setting : defaults) {
        DWORD value = static_cast<DWORD>(setting.second);
        for (const auto& override : overrides) {
            if (std::strcmp(override.first, setting.first) == 0)
                value = override.second;
        }
        stored = writeDword(HKEY_CURRENT_USER, kSettingsKey, setting.first, value) && stored;
    }
    return stored;
}

void setWineVersionFor(const char* exeName, const char* version)
{
    const std::string path = std::string(kWineAppDefaults) + exeName;
    if (version && *version)
        writeString(HKEY_CURRENT_USER, path.c_str(), "Version", version);
    else
        deleteKeyTree(HKEY_CURRENT_USER, path.c_str());
}

void setWineVersion(const char* version)
{
    setWineVersionFor("Somnivar.exe", version);
}

} // namespace harness
