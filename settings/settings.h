// The seventeen settings: one signed 32-bit field each, named like its registry value.
// Platform-free: the record and its defaults; the registry store is settings_store_win.
#pragma once
#include <cstdint>

struct Settings {
    int32_t Time;             // minutes without input before the idle suspend
    int32_t Enable;           // automatic suspend function on
    int32_t Expand;           // answer the system's confirmation windows during a suspend
    int32_t ExpType;          // with Expand: 1 suspend anyway, 0 cancel
    int32_t Resource;         // watch the free system resources (9x family)
    int32_t Value;            // warning threshold, percent
    int32_t Stop;             // switch the function off on low resources
    int32_t StopValue;        // switch-off threshold, percent
    int32_t SuspendOther;     // allow other programs' suspend requests
    int32_t SuspendType;      // NT family: 0 standby, 1 hibernate
    int32_t Monitor;          // before a suspend: 0 on, 1 off, 2 standby
    int32_t HotKeyUse;        // the hot key starts a suspend
    int32_t HotKeyCode;       // hot-key-control code: low byte key, bits 8-15 HOTKEYF_ flags
    int32_t ApplicationCheck; // FileList.txt in force
    int32_t TitleCheck;       // TitleList.txt in force
    int32_t OffCheck;         // the user switched the function off
    int32_t StatusDisplay;    // watch-status balloons (shell 5 and later)
};

constexpr Settings kDefaultSettings = {
    10, 1, 0, 1, 0, 30, 0, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

// Registry value names, one per field. Every reader and writer of the store uses these.
namespace settingNames {
constexpr const char Time[] = "Time";
constexpr const char Enable[] = "Enable";
constexpr const char Expand[] = "Expand";
constexpr const char ExpType[] = "ExpType";
constexpr const char Resource[] = "Resource";
constexpr const char Value[] = "Value";
constexpr const char Stop[] = "Stop";
constexpr const char StopValue[] = "StopValue";
constexpr const char SuspendOther[] = "SuspendOther";
constexpr const char SuspendType[] = "SuspendType";
constexpr const char Monitor[] = "Monitor";
constexpr const char HotKeyUse[] = "HotKeyUse";
constexpr const char HotKeyCode[] = "HotKeyCode";
constexpr const char ApplicationCheck[] = "ApplicationCheck";
constexpr const char TitleCheck[] = "TitleCheck";
constexpr const char OffCheck[] = "OffCheck";
constexpr const char StatusDisplay[] = "StatusDisplay";
}  // namespace settingNames

// The process-wide record: the only source of the settings while the program runs.
extern Settings settings;
