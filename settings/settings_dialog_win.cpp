// The settings dialog: the one place where the user edits the settings. Every opening rebuilds
// the controls from the record; OK validates, applies and stores; every other way out stores
// nothing, apart from what the on/off choice and the status-display box change at once.
#include "settings/settings_dialog_win.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "app/mainwnd_win.h"
#include "app/process_win.h"
#include "app/timers_win.h"
#include "app/windows_win.h"
#include "hooklib/vantrel.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "settings/numberfield.h"
#include "settings/settings.h"
#include "settings/settings_store_win.h"
#include "status/tray_win.h"
#include "watchlists/editors_win.h"

TooltipSlot tooltipSlots[kTooltipSlotCount];
int tooltipSlotsUsed;

namespace {

// The tool record without the reserved pointer of later versions: 44 bytes on x86. The x64
// size differs, and a tooltip given the x86 size there silently shows nothing.
const UINT kToolRecordSize = TTTOOLINFOA_V2_SIZE;
#if !defined(_WIN64)
static_assert(offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM) == 44, "the x86 tool record is 44 bytes");
#endif
constexpr int kTipMaxWidth = 400;
constexpr WORD kTipInitialDelayMs = 100;
constexpr int kFieldTextSize = 512;   // a field is read up to 511 characters

constexpr const char* kMenuAbout = "ﾊﾞｰｼﾞｮﾝ情報 (&V)";
constexpr const char* kMenuReadme = "Readme.txt の表示 (&B)";
constexpr const char* kMonitorItems[] = {"モニタはオン", "モニタはオフ", "モニタはスタンバイ"};

constexpr const char* kTimeWrongText = "設定時間に誤りがあります。";
constexpr const char* kWarningLevelWrongText = "リソース監視警告表示残量に誤りがあります。";
constexpr const char* kStopLevelWrongText = "自動無効リソース残量に誤りがあります。";
constexpr const char* kHotKeyFailedText = "ホットキーの設定ができませんでした";
constexpr const char* kHotKeyNeedsModifierText = "ホットキーには Ctrl か Alt を含めて下さい。\n"
                                                 "（ファンクションキーは単独でも設定できます）";

constexpr const char* kUninstallTip = "アンインストールです。";
constexpr const char* kExpandTip = "ダイヤルアップ ネットワーク接続時や、他のコンピュータが接続時に\n"
                                   "サスペンドさせるか、キャンセルさせるかを設定します。";
constexpr const char* kOldShellTip = "Shell32.dllのVerが5.0以下なので、使用できません。";
constexpr const char* kNoProgramEditTip = "現在のシステムでは取得・編集ができません。\n"
                                          "手動にて FileList.txt を編集して下さい。";
constexpr const char* kNoTitleEditTip = "現在のシステムでは取得・編集ができません。\n"
                                        "手動にて TitleList.txt を編集して下さい。";
constexpr const char* kStandbyTip = "「スタンバイ」をサスペンド動作に設定します。";
constexpr const char* kHibernateTip = "「休止」をサスペンド動作に設定します。";
constexpr const char* kNoSuspendKindTip = "NT系OSではないので、サスペンドの種類を選べません。";
constexpr const char* kResourceWatchTip = "リソース量が設定値以下になると、警告を表示することができます。";
constexpr const char* kResourceStopTip = "リソース量により、サスペンド機能を無効にすることができます。";
constexpr const char* kWarningLevelTip = "設定数値以下になると警告を表示します。";
constexpr const char* kStopLevelTip = "設定数値以下になるとサスペンドを中止します。";
constexpr const char* kNoResourceMeterTip = "現在のシステムではリソースを参照できません。";

// The empty statics that carry explanations; the dialog never lets them paint.
constexpr int kAnchors[] = {IDC_RESOURCE_WATCH_ANCHOR, IDC_RESOURCE_STOP_ANCHOR, IDC_SUSPEND_KIND_ANCHOR,
                            IDC_PROGRAM_EDIT_ANCHOR,   IDC_TITLE_EDIT_ANCHOR,    IDC_STATUS_DISPLAY_ANCHOR};
// Edit, spin, mnemonic label and level label of each resource level, enabled with their box.
constexpr int kWarningLevelControls[] = {IDC_WARNING_LEVEL, IDC_WARNING_LEVEL_MNEMONIC, IDC_WARNING_LEVEL_SPIN,
                                         IDC_WARNING_LEVEL_LABEL};
constexpr int kStopLevelControls[] = {IDC_STOP_LEVEL, IDC_STOP_LEVEL_MNEMONIC, IDC_STOP_LEVEL_SPIN,
                                      IDC_STOP_LEVEL_LABEL};

bool isChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void check(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

bool isEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void enable(HWND dialog, int id, bool on)
{
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}

template <size_t N>
void enableAll(HWND dialog, const int (&ids)[N], bool on)
{
    for (int id : ids)
        enable(dialog, id, on);
}

// Both the library and its export: without the export there is nothing to watch with.
bool resourceMeterLoaded()
{
    return freeResourcesProc != nullptr;
}

void showNumber(HWND dialog, int id, int value)
{
    char text[16];
    wsprintfA(text, "%d", value);
    SetDlgItemTextA(dialog, id, text);
}

int readNumber(HWND dialog, int id, int low, int high, int* value)
{
    char text[kFieldTextSize];
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return parseNumberField(text, low, high, value);
}

void focusField(HWND dialog, int id)
{
    SetFocus(GetDlgItem(dialog, id));
    SendDlgItemMessageA(dialog, id, EM_SETSEL, 0, -1);
}

// ---- Tooltips

void addTooltip(HWND dialog, int id, const char* text)
{
    if (tooltipSlotsUsed >= kTooltipSlotCount)
        return;
    HWND control = GetDlgItem(dialog, id);
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, control, nullptr, appInstance, nullptr);
    if (!tip)
        return;
    TooltipSlot& slot = tooltipSlots[tooltipSlotsUsed++];
    slot.window = tip;
    std::memset(&slot.info, 0, sizeof(slot.info));
    slot.info.cbSize = kToolRecordSize;
    slot.info.uFlags = TTF_SUBCLASS;
    slot.info.hwnd = control;
    GetClientRect(control, &slot.info.rect);
    slot.info.lpszText = const_cast<char*>(text);   // the tooltip keeps its own copy
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&slot.info));
    SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, scaledPixels(kTipMaxWidth));
    SendMessageA(tip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(kTipInitialDelayMs, 0));
}

// ---- Opening the windows the dialog leads to

void openReadme()
{
    if (readmeAvailable)
        showReadme(mainWindow);
}

// ---- Closing

// Reverting the system menu destroys the copy that carries our items, and the window keeps
// no handle to the destroyed menu.
void dropSystemMenu(HWND dialog)
{
    GetSystemMenu(dialog, TRUE);
}

// What every way of closing does before the window goes, and what WM_DESTROY repeats when
// somebody else destroys the dialog. The handle goes first, so that the about box, when it
// closes, does not bring a dialog to the front that is on its way out.
void cleanUp(HWND dialog)
{
    if (settingsDialog == dialog)
        settingsDialog = nullptr;
    destroyWhenOpen(aboutBox);
    removeSettingsTooltips();
    dropSystemMenu(dialog);
}

void closeDialog(HWND dialog)
{
    cleanUp(dialog);
    DestroyWindow(dialog);
}

// ---- Initialisation

void showChoices(HWND dialog)
{
    check(dialog, settings.ExpType == 1 ? IDC_EXPAND_SUSPEND : IDC_EXPAND_CANCEL, true);
    check(dialog, IDC_EXPAND, settings.Expand == 1);
    check(dialog, settings.Enable == 1 ? IDC_FUNCTION_ON : IDC_FUNCTION_OFF, true);
    check(dialog, settings.SuspendType == 1 ? IDC_HIBERNATE : IDC_STANDBY, true);
    for (const char* item : kMonitorItems)
        SendDlgItemMessageA(dialog, IDC_MONITOR_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendDlgItemMessageA(dialog, IDC_MONITOR_LIST, CB_SETCURSEL, static_cast<WPARAM>(settings.Monitor), 0);
    check(dialog, IDC_HOTKEY_USE, settings.HotKeyUse == 1);
    check(dialog, IDC_PROGRAM_WATCH, settings.ApplicationCheck == 1);
    check(dialog, IDC_TITLE_WATCH, settings.TitleCheck == 1);
}

void showPlatformLimits(HWND dialog)
{
    if (shellMajorVersion < 5) {
        enable(dialog, IDC_STATUS_DISPLAY, false);
        addTooltip(dialog, IDC_STATUS_DISPLAY_ANCHOR, kOldShellTip);
    } else {
        check(dialog, IDC_STATUS_DISPLAY, settings.StatusDisplay == 1);
    }
    if (!isNtPlatform) {
        enable(dialog, IDC_PROGRAM_LIST_EDITOR, false);
        enable(dialog, IDC_TITLE_LIST_EDITOR, false);
        addTooltip(dialog, IDC_PROGRAM_EDIT_ANCHOR, kNoProgramEditTip);
        addTooltip(dialog, IDC_TITLE_EDIT_ANCHOR, kNoTitleEditTip);
    }
    if (!processWatchAvailable) {
        enable(dialog, IDC_PROGRAM_WATCH, false);
        enable(dialog, IDC_PROGRAM_LIST_EDITOR, false);
    }
    if (settings.HotKeyCode != 0)
        SendDlgItemMessageA(dialog, IDC_HOTKEY, HKM_SETHOTKEY, static_cast<WORD>(settings.HotKeyCode), 0);
    if (isNtPlatform) {
        enable(dialog, IDC_SUSPEND_KIND_ANCHOR, false);
        addTooltip(dialog, IDC_STANDBY, kStandbyTip);
        addTooltip(dialog, IDC_HIBERNATE, kHibernateTip);
    } else {
        enable(dialog, IDC_STANDBY, false);
        enable(dialog, IDC_HIBERNATE, false);
        addTooltip(dialog, IDC_SUSPEND_KIND_ANCHOR, kNoSuspendKindTip);
    }
}

void showResourceControls(HWND dialog)
{
    showNumber(dialog, IDC_WARNING_LEVEL, settings.Value);
    showNumber(dialog, IDC_STOP_LEVEL, settings.StopValue);
    if (settings.Resource == 0)
        enableAll(dialog, kWarningLevelControls, false);
    else
        check(dialog, IDC_RESOURCE_WATCH, true);
    if (settings.Stop == 0)
        enableAll(dialog, kStopLevelControls, false);
    else
        check(dialog, IDC_RESOURCE_STOP, true);
    check(dialog, settings.SuspendOther == 1 ? IDC_OTHER_SUSPEND_ALLOW : IDC_OTHER_SUSPEND_CANCEL, true);

    if (resourceMeterLoaded()) {
        enable(dialog, IDC_RESOURCE_WATCH_ANCHOR, false);
        enable(dialog, IDC_RESOURCE_STOP_ANCHOR, false);
        addTooltip(dialog, IDC_RESOURCE_WATCH, kResourceWatchTip);
        addTooltip(dialog, IDC_RESOURCE_STOP, kResourceStopTip);
        SendDlgItemMessageA(dialog, IDC_WARNING_LEVEL_SPIN, UDM_SETRANGE32, 1, 100);
        SendDlgItemMessageA(dialog, IDC_STOP_LEVEL_SPIN, UDM_SETRANGE32, 1, 100);
        for (int id : {IDC_WARNING_LEVEL_LABEL, IDC_WARNING_LEVEL, IDC_WARNING_LEVEL_MNEMONIC, IDC_WARNING_LEVEL_SPIN})
            addTooltip(dialog, id, kWarningLevelTip);
        for (int id : {IDC_STOP_LEVEL_LABEL, IDC_STOP_LEVEL, IDC_STOP_LEVEL_MNEMONIC, IDC_STOP_LEVEL_SPIN})
            addTooltip(dialog, id, kStopLevelTip);
    } else {
        enable(dialog, IDC_RESOURCE_WATCH, false);
        enableAll(dialog, kWarningLevelControls, false);
        enable(dialog, IDC_RESOURCE_STOP, false);
        enableAll(dialog, kStopLevelControls, false);
        addTooltip(dialog, IDC_RESOURCE_WATCH_ANCHOR, kNoResourceMeterTip);
        addTooltip(dialog, IDC_RESOURCE_STOP_ANCHOR, kNoResourceMeterTip);
    }
}

INT_PTR onInitDialog(HWND dialog)
{
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_PROGRAM))));
    addInfoItemsToSystemMenu(dialog);
    setEnableState(settings.Enable);
    GetWindowRect(dialog, &settingsDialogRect);
    showNumber(dialog, IDC_TIME, settings.Time);
    // Normally empty already; a slot still held would otherwise be overwritten and leak.
    removeSettingsTooltips();
    addTooltip(dialog, IDC_UNINSTALL, kUninstallTip);
    addTooltip(dialog, IDC_EXPAND, kExpandTip);
    SendDlgItemMessageA(dialog, IDC_TIME_SPIN, UDM_SETRANGE32, 1, 60);
    showChoices(dialog);
    showPlatformLimits(dialog);
    showResourceControls(dialog);
    return TRUE;
}

// ---- OK

int hotKeyModifiers(int code)
{
    const int flags = (code >> 8) & 0xFF;
    return ((flags & HOTKEYF_ALT) ? MOD_ALT : 0) | ((flags & HOTKEYF_CONTROL) ? MOD_CONTROL : 0) |
           ((flags & HOTKEYF_SHIFT) ? MOD_SHIFT : 0);
}

// What OK stores, read from the controls before any box can open: while a box is up an idle
// or allowed suspend may destroy the dialog, and its controls would then all read as unchecked.
struct DialogChoices {
    LRESULT monitor;   // CB_ERR when nothing is selected
    int hotKeyCode;
    bool hotKeyUse, programWatch, titleWatch, statusDisplay, functionOn, standby;
    bool resourceWatch, resourceStop, expandSuspend, expand, otherSuspendAllowed;
};

DialogChoices readChoices(HWND dialog)
{
    DialogChoices c;
    c.monitor = SendDlgItemMessageA(dialog, IDC_MONITOR_LIST, CB_GETCURSEL, 0, 0);
    c.hotKeyCode = LOWORD(SendDlgItemMessageA(dialog, IDC_HOTKEY, HKM_GETHOTKEY, 0, 0));
    c.hotKeyUse = isChecked(dialog, IDC_HOTKEY_USE);
    c.programWatch = isChecked(dialog, IDC_PROGRAM_WATCH);
    c.titleWatch = isChecked(dialog, IDC_TITLE_WATCH);
    c.statusDisplay = isChecked(dialog, IDC_STATUS_DISPLAY);
    c.functionOn = isChecked(dialog, IDC_FUNCTION_ON);
    c.standby = isChecked(dialog, IDC_STANDBY);
    c.resourceWatch = isChecked(dialog, IDC_RESOURCE_WATCH);
    c.resourceStop = isChecked(dialog, IDC_RESOURCE_STOP);
    c.expandSuspend = isChecked(dialog, IDC_EXPAND_SUSPEND);
    c.expand = isChecked(dialog, IDC_EXPAND);
    c.otherSuspendAllowed = isChecked(dialog, IDC_OTHER_SUSPEND_ALLOW);
    return c;
}

// A plain key registered as the hot key would be taken from every program: typing it anywhere
// would suspend the machine. Only a function key may stand alone (Shift alone does not count).
bool hotKeyAcceptable(int code)
{
    const int key = code & 0xFF;
    const int flags = (code >> 8) & 0xFF;
    return (flags & (HOTKEYF_ALT | HOTKEYF_CONTROL)) || (key >= VK_F1 && key <= VK_F24);
}

bool isNewHotKey(const DialogChoices& chosen)
{
    return chosen.hotKeyUse && chosen.hotKeyCode != 0 && chosen.hotKeyCode != settings.HotKeyCode;
}

void applyHotKey(HWND dialog, DialogChoices& chosen)
{
    const int code = chosen.hotKeyCode;
    if (chosen.hotKeyUse && code != settings.HotKeyCode) {
        UnregisterHotKey(mainWindow, HOTKEY_ID_SUSPEND);
        settings.HotKeyCode = code;
        // An emptied control is "no hot key", handled below; it is nothing to register.
        if (code != 0 && !RegisterHotKey(mainWindow, HOTKEY_ID_SUSPEND, hotKeyModifiers(code), code & 0xFF))
            MessageBoxA(dialog, kHotKeyFailedText, kErrorCaption, MB_OK);
    }
    if (code == 0) {
        chosen.hotKeyUse = false;
        check(dialog, IDC_HOTKEY_USE, false);
        SendDlgItemMessageA(dialog, IDC_HOTKEY, HKM_SETHOTKEY, 0, 0);
        UnregisterHotKey(mainWindow, HOTKEY_ID_SUSPEND);
        settings.HotKeyCode = 0;
    }
    settings.HotKeyUse = chosen.hotKeyUse ? 1 : 0;
}

void storeDialogSettings()
{
    if (isNtPlatform)
        writeSetting(settingNames::SuspendType, settings.SuspendType);
    writeSetting(settingNames::ExpType, settings.ExpType);
    writeSetting(settingNames::Expand, settings.Expand);
    writeSetting(settingNames::Monitor, settings.Monitor);
    writeSetting(settingNames::HotKeyUse, settings.HotKeyUse);
    writeSetting(settingNames::HotKeyCode, settings.HotKeyCode);
    writeSetting(settingNames::ApplicationCheck, settings.ApplicationCheck);
    writeSetting(settingNames::TitleCheck, settings.TitleCheck);
    writeSetting(settingNames::OffCheck, settings.OffCheck);
    if (isNtPlatform)
        writeSetting(settingNames::StatusDisplay, settings.StatusDisplay);
}

// Shows why a field was refused and puts the focus on it (through its own command, which
// knows when the field is usable). Returns false so that OK stops.
bool refuse(HWND dialog, const char* text, WORD focusCommand)
{
    MessageBoxA(dialog, text, kAppName, MB_ICONWARNING);
    PostMessageA(dialog, WM_COMMAND, focusCommand, 0);
    return false;
}

// The three fields are checked even when disabled: a stored value out of range is never
// carried on unnoticed.
bool readNumberFields(HWND dialog, int* time, int* warningLevel, int* stopLevel)
{
    if (!readNumber(dialog, IDC_TIME, 1, 60, time))
        return refuse(dialog, kTimeWrongText, IDC_TIME_LABEL);
    if (!readNumber(dialog, IDC_WARNING_LEVEL, 1, 100, warningLevel))
        return refuse(dialog, kWarningLevelWrongText, IDC_WARNING_LEVEL_MNEMONIC);
    if (!readNumber(dialog, IDC_STOP_LEVEL, 1, 100, stopLevel))
        return refuse(dialog, kStopLevelWrongText, IDC_STOP_LEVEL_MNEMONIC);
    return true;
}

void onOk(HWND dialog)
{
    int time, warningLevel, stopLevel;
    if (!readNumberFields(dialog, &time, &warningLevel, &stopLevel))
        return;
    DialogChoices chosen = readChoices(dialog);
    if (isNewHotKey(chosen) && !hotKeyAcceptable(chosen.hotKeyCode)) {
        // Refused like a wrong number: nothing is stored and the old hot key stays.
        MessageBoxA(dialog, kHotKeyNeedsModifierText, kAppName, MB_ICONWARNING);
        PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_HOTKEY)), TRUE);
        return;
    }
    settings.Time = time;
    settings.Value = warningLevel;
    settings.StopValue = stopLevel;
    // A stored Monitor outside the list leaves nothing selected; it then stays as it was.
    if (chosen.monitor != CB_ERR)
        settings.Monitor = static_cast<int>(chosen.monitor);
    // From here on the dialog may be gone (see DialogChoices); only what was read counts.
    applyHotKey(dialog, chosen);
    settings.ApplicationCheck = chosen.programWatch ? 1 : 0;
    settings.TitleCheck = chosen.titleWatch ? 1 : 0;
    if (isNtPlatform)
        settings.StatusDisplay = chosen.statusDisplay ? 1 : 0;
    setEnableState(chosen.functionOn ? 1 : 0);
    if (isNtPlatform)
        settings.SuspendType = chosen.standby ? 0 : 1;
    settings.Resource = chosen.resourceWatch ? 1 : 0;
    settings.Stop = chosen.resourceStop ? 1 : 0;
    settings.ExpType = chosen.expandSuspend ? 1 : 0;
    settings.Expand = chosen.expand ? 1 : 0;
    settings.SuspendOther = chosen.otherSuspendAllowed ? 1 : 0;
    storeDialogSettings();
    // The new levels decide afresh whether the low-resource stop holds the function off.
    resourceStopActive = 0;
    setEnableState(settings.Enable);
    if (settingsDialog == dialog)
        closeDialog(dialog);
    if (settings.Enable == 1) {
        // A changed Time takes effect at once.
        armIdleTimer(0);
        armIdleTimer(1);
    }
    writeAllSettings(0);
    MessageSet(0);
}

// ---- The other commands

// A shortcut from the accelerator table arrives without the control's handle; it acts as a
// click would: an enabled box changes its mark. (A real click has marked the box already.)
void clickFromShortcut(HWND dialog, int id, LPARAM from)
{
    if (from == 0 && isEnabled(dialog, id))
        check(dialog, id, !isChecked(dialog, id));
}

// Checks one of a pair and unchecks the other.
void choose(HWND dialog, int chosen, int other)
{
    check(dialog, chosen, true);
    check(dialog, other, false);
}

void onSuspendKind(HWND dialog, int chosen, int other)
{
    if (!isChecked(dialog, IDC_FUNCTION_OFF))
        choose(dialog, chosen, other);
}

void onExpand(HWND dialog)
{
    if (!isChecked(dialog, IDC_FUNCTION_OFF))
        check(dialog, IDC_EXPAND, !isChecked(dialog, IDC_EXPAND));
}

void onExpandCancel(HWND dialog)
{
    if (isEnabled(dialog, IDC_EXPAND) && isChecked(dialog, IDC_EXPAND))
        choose(dialog, IDC_EXPAND_CANCEL, IDC_EXPAND_SUSPEND);
}

void onFunctionOn(HWND dialog)
{
    choose(dialog, IDC_FUNCTION_ON, IDC_FUNCTION_OFF);
    settings.OffCheck = 0;
    if (!resourceMeterLoaded())
        return;
    enable(dialog, IDC_RESOURCE_STOP, true);
    if (isChecked(dialog, IDC_RESOURCE_STOP))
        enableAll(dialog, kStopLevelControls, true);
}

void onFunctionOff(HWND dialog)
{
    choose(dialog, IDC_FUNCTION_OFF, IDC_FUNCTION_ON);
    settings.OffCheck = 1;
}

template <size_t N>
void onLevelBox(HWND dialog, int box, const int (&levelControls)[N])
{
    if (!resourceMeterLoaded())
        return;
    check(dialog, box, !isChecked(dialog, box));
    enableAll(dialog, levelControls, isChecked(dialog, box));
}

void onLevelMnemonic(HWND dialog, int box, int field)
{
    if (resourceMeterLoaded() && isEnabled(dialog, box) && isChecked(dialog, box))
        focusField(dialog, field);
}

void onStatusDisplay(HWND dialog, LPARAM from)
{
    clickFromShortcut(dialog, IDC_STATUS_DISPLAY, from);
    if (trayMenu)
        EnableMenuItem(trayMenu, IDM_SHOW_WATCH_STATUS,
                       MF_BYCOMMAND | (isChecked(dialog, IDC_STATUS_DISPLAY) ? MF_ENABLED : MF_GRAYED));
}

// The editor buttons are disabled where the editors cannot work; their shortcut obeys that.
void onEditorButton(HWND dialog, int id, void (*open)())
{
    if (isEnabled(dialog, id))
        open();
}

void onUninstall(HWND dialog)
{
    if (!deleteSettings(dialog))
        return;
    closeDialog(dialog);
    PostQuitMessage(0);
}

INT_PTR onCommand(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    switch (id) {
    case IDC_SETTINGS_OK: onOk(dialog); break;
    case IDC_SETTINGS_CANCEL:
    case IDC_ESCAPE: closeDialog(dialog); break;
    case IDC_OTHER_SUSPEND_ALLOW: choose(dialog, IDC_OTHER_SUSPEND_ALLOW, IDC_OTHER_SUSPEND_CANCEL); break;
    case IDC_OTHER_SUSPEND_CANCEL: choose(dialog, IDC_OTHER_SUSPEND_CANCEL, IDC_OTHER_SUSPEND_ALLOW); break;
    case IDC_STANDBY: onSuspendKind(dialog, IDC_STANDBY, IDC_HIBERNATE); break;
    case IDC_HIBERNATE: onSuspendKind(dialog, IDC_HIBERNATE, IDC_STANDBY); break;
    case IDC_EXPAND: onExpand(dialog); break;
    case IDC_EXPAND_SUSPEND: choose(dialog, IDC_EXPAND_SUSPEND, IDC_EXPAND_CANCEL); break;
    case IDC_EXPAND_CANCEL: onExpandCancel(dialog); break;
    case IDC_FUNCTION_ON: onFunctionOn(dialog); break;
    case IDC_FUNCTION_OFF: onFunctionOff(dialog); break;
    case IDC_RESOURCE_WATCH: onLevelBox(dialog, IDC_RESOURCE_WATCH, kWarningLevelControls); break;
    case IDC_RESOURCE_STOP: onLevelBox(dialog, IDC_RESOURCE_STOP, kStopLevelControls); break;
    case IDC_TIME_LABEL: focusField(dialog, IDC_TIME); break;
    case IDC_WARNING_LEVEL_MNEMONIC: onLevelMnemonic(dialog, IDC_RESOURCE_WATCH, IDC_WARNING_LEVEL); break;
    case IDC_STOP_LEVEL_MNEMONIC: onLevelMnemonic(dialog, IDC_RESOURCE_STOP, IDC_STOP_LEVEL); break;
    case IDC_HOTKEY_USE:
    case IDC_PROGRAM_WATCH:
    case IDC_TITLE_WATCH: clickFromShortcut(dialog, id, lParam); break;
    case IDC_STATUS_DISPLAY: onStatusDisplay(dialog, lParam); break;
    case IDC_PROGRAM_LIST_EDITOR: onEditorButton(dialog, id, openProgramEditor); break;
    case IDC_TITLE_LIST_EDITOR: onEditorButton(dialog, id, openTitleEditor); break;
    case IDC_SHOW_ABOUT: openAboutBox(); break;
    case IDC_SHOW_README: openReadme(); break;
    case IDC_UNINSTALL: onUninstall(dialog); break;
    case IDC_QUIT_PROGRAM: closeDialog(dialog); PostQuitMessage(0); break;
    default: break;
    }
    return TRUE;
}

// ---- Keeping the about box in front, and the other messages

// The about box belongs to the main window; while it is open, anything that would bring this
// dialog up (activation, a system command) closes it and opens it again in front.
INT_PTR onActivate(HWND dialog, WPARAM wParam)
{
    keepAboutBoxInFront(dialog, WM_ACTIVATE, wParam);
    return FALSE;   // the default processing keeps the focus where it was
}

INT_PTR onSysCommand(HWND dialog, WPARAM command)
{
    // While the about box is open, moving or closing waits until it is closed.
    if (keepAboutBoxInFront(dialog, WM_SYSCOMMAND, command))
        return TRUE;
    if (command == IDC_SHOW_README) {
        openReadme();
        return TRUE;
    }
    return FALSE;
}

// The anchors are validated without drawing, so that they never paint over the controls they
// cover or lie beneath.
INT_PTR onPaint(HWND dialog)
{
    for (int id : kAnchors) {
        HWND anchor = GetDlgItem(dialog, id);
        PAINTSTRUCT paint;
        BeginPaint(anchor, &paint);
        EndPaint(anchor, &paint);
    }
    return FALSE;
}

// A dialog answers through its message result, which a destroyed window no longer has: the
// answer is set first and the dialog closes just after, so that it never vetoes a logoff.
} // namespace

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        return onCommand(dialog, wParam, lParam);
    case WM_SYSCOMMAND:
        return onSysCommand(dialog, wParam);
    case WM_ACTIVATE:
        return onActivate(dialog, wParam);
    case WM_PAINT:
        return onPaint(dialog);
    case WM_CLOSE:
        closeDialog(dialog);
        return TRUE;
    case WM_QUERYENDSESSION:
        return answerEndSessionThenClose(dialog);
    case WM_DESTROY:
        cleanUp(dialog);
        return FALSE;
    }
    return FALSE;
}

void openSettingsDialog()
{
    if (!settingsDialog)
        settingsDialog = CreateDialogParamA(appInstance, "IDD_TIMESET", mainWindow, settingsDialogProc,
                                            reinterpret_cast<LPARAM>(mainWindow));
}

void removeSettingsTooltips()
{
    for (TooltipSlot& slot : tooltipSlots) {
        if (slot.window) {
            SendMessageA(slot.window, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&slot.info));
            DestroyWindow(slot.window);
        }
        std::memset(&slot, 0, sizeof(slot));
    }
    tooltipSlotsUsed = 0;
}
