// Tray icon, enable state, status line and balloons.
#include "status/tray_win.h"

#include <cstring>
#include <string_view>

#include "app/bytes.h"
#include "app/mainwnd_win.h"
#include "app/process_win.h"
#include "app/timers_win.h"
#include "hooklib/vantrel.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/statusline.h"

NOTIFYICONDATAA trayIconRecord;
int freeResourcePercent = 0;

namespace {

#if !defined(_WIN64)
static_assert(kNotifyRecordSize == 488, "the x86 shell 5 notify record is 488 bytes");
#endif

constexpr UINT kTrayIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr UINT kBalloonTimeoutMs = 10000;

// What the notification area last accepted for the icon. Every notify call is a cross-process
// call through the shell, so the once-a-second refresh sends only a change; anything other than
// an accepted add or modify leaves it unknown, and the next refresh sends again. The tray set-up
// refills the record before each add (which makes it unknown), so its own calls need no record.
struct ShownIcon {
    bool known;
    HICON icon;
    char tip[sizeof(NOTIFYICONDATAA::szTip)];
} shownIcon;

bool shownIconIsCurrent()
{
    return shownIcon.known && shownIcon.icon == trayIconRecord.hIcon &&
           std::memcmp(shownIcon.tip, trayIconRecord.szTip, sizeof(shownIcon.tip)) == 0;
}

// A zeroed record for the program's own icon, as every notify call names it.
void startNotifyRecord(NOTIFYICONDATAA& record, HWND owner, UINT flags)
{
    std::memset(&record, 0, sizeof(record));
    record.cbSize = kNotifyRecordSize;
    record.hWnd = owner;
    record.uID = TRAY_ICON_ID;
    record.uFlags = flags;
    record.uCallbackMessage = WM_TRAY_CALLBACK;
}

HICON loadStateIcon(int enabled)
{
    return LoadIconA(appInstance, MAKEINTRESOURCEA(enabled == 1 ? IDI_FUNCTION_ON : IDI_FUNCTION_OFF));
}


void storeEnableStateSettings()
{
    writeSetting(settingNames::Enable, settings.Enable);
    writeSetting(settingNames::Resource, settings.Resource);
    writeSetting(settingNames::Stop, settings.Stop);
    writeSetting(settingNames::SuspendOther, settings.SuspendOther);
    writeSetting(settingNames::Monitor, settings.Monitor);
    writeSetting(settingNames::HotKeyUse, settings.HotKeyUse);
    writeSetting(settingNames::HotKeyCode, settings.HotKeyCode);
    writeSetting(settingNames::ApplicationCheck, settings.ApplicationCheck);
    writeSetting(settingNames::TitleCheck, settings.TitleCheck);
    writeSetting(settingNames::OffCheck, settings.OffCheck);
    if (isNtPlatform) {
        writeSetting(settingNames::StatusDisplay, settings.StatusDisplay);
        writeSetting(settingNames::SuspendType, settings.SuspendType);
    }
}

} // namespace

void applyMenuMarks(int enabled)
{
    if (!trayMenu)
        return;
    CheckMenuItem(trayMenu, IDM_FUNCTION_ON, MF_BYCOMMAND | (enabled == 1 ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(trayMenu, IDM_FUNCTION_OFF, MF_BYCOMMAND | (enabled == 1 ? MF_UNCHECKED : MF_CHECKED));
    // Positions 0 and 1 hold the on and off items.
    SetMenuDefaultItem(trayMenu, enabled == 1 ? 0 : 1, TRUE);
}

void setEnableState(int on)
{
    settings.Enable = on == 1 ? 1 : 0;
    // Switching on starts a full period, even when a resume had left the countdown running.
    if (settings.Enable)
        armIdleTimer(0);
    armIdleTimer(settings.Enable);
    MessageSet(0);
    applyMenuMarks(settings.Enable);
    trayIconRecord.hIcon = loadStateIcon(settings.Enable);
    trayIconRecord.uID = TRAY_ICON_ID;
    buildStatusLine(trayIconRecord.szTip, sizeof(trayIconRecord.szTip));
    notifyTrayIcon(NIM_MODIFY);
    storeEnableStateSettings();
}

void buildStatusLine(char* buffer, size_t bufferSize)
{
    StatusLineInputs in{};
    in.Enable = settings.Enable;
    in.resourceStopActive = resourceStopActive;
    in.SuspendOther = settings.SuspendOther;
    in.Time = settings.Time;
    in.isNt = isNtPlatform;
    in.StatusDisplay = settings.StatusDisplay;
    in.Expand = settings.Expand;
    in.ExpType = settings.ExpType;
    in.Monitor = settings.Monitor;
    in.HotKeyUse = settings.HotKeyUse;
    in.ApplicationCheck = settings.ApplicationCheck;
    in.TitleCheck = settings.TitleCheck;
    in.meterAvailable = resourceMeterLibrary && freeResourcesProc ? 1 : 0;
    in.freeResourcePercent = freeResourcePercent;
    in.Resource = settings.Resource;
    in.Value = settings.Value;
    in.Stop = settings.Stop;
    in.StopValue = settings.StopValue;
    in.shellMajorVersion = shellMajorVersion;

    StatusLineBuffer line;
    const size_t length = buildStatusLineText(in, line);
    copyBounded(buffer, bufferSize, std::string_view(line.data(), length));
}

void fillTrayIconRecord()
{
    startNotifyRecord(trayIconRecord, mainWindow, kTrayIconFlags);
    trayIconRecord.hIcon = loadStateIcon(settings.Enable);
    buildStatusLine(trayIconRecord.szTip, sizeof(trayIconRecord.szTip));
    shownIcon.known = false;
}

BOOL notifyTrayIcon(DWORD message)
{
    const BOOL accepted = Shell_NotifyIconA(message, &trayIconRecord);
    shownIcon.known = accepted && message != NIM_DELETE;
    if (shownIcon.known) {
        shownIcon.icon = trayIconRecord.hIcon;
        std::memcpy(shownIcon.tip, trayIconRecord.szTip, sizeof(shownIcon.tip));
    }
    return accepted;
}

void refreshTrayTip()
{
    buildStatusLine(trayIconRecord.szTip, sizeof(trayIconRecord.szTip));
    if (!shownIconIsCurrent())
        notifyTrayIcon(NIM_MODIFY);
}

BOOL showTrayBalloon(HWND owner, const char* text, const char* title, DWORD kind)
{
    NOTIFYICONDATAA balloon;
    startNotifyRecord(balloon, owner, NIF_INFO);
    // The watch-status list can be longer than the balloon holds: keep whole characters only.
    copyBounded(balloon.szInfo, sizeof(balloon.szInfo), text ? text : "");
    copyBounded(balloon.szInfoTitle, sizeof(balloon.szInfoTitle), title ? title : "");
    balloon.uTimeout = kBalloonTimeoutMs;
    balloon.dwInfoFlags = kind;
    return Shell_NotifyIconA(NIM_MODIFY, &balloon);
}
