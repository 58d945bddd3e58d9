// The settings dialog IDD_TIMESET and the tooltips that explain its unusable controls.
#pragma once
#include <windows.h>
#include <commctrl.h>

// ---- Tooltip slots: one tooltip window per explained control, each holding one tool. Zero
// (empty) at start; filled when the dialog opens, emptied when it closes and at shutdown.
constexpr int kTooltipSlotCount = 20;
struct TooltipSlot {
    HWND window;
    TOOLINFOA info;
};
extern TooltipSlot tooltipSlots[kTooltipSlotCount];
extern int tooltipSlotsUsed;   // the next slot to fill

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Opens the dialog modeless, owned by the main window, unless it is open already.
void openSettingsDialog();
// Removes every tooltip of the dialog: the tool, then its window. Safe to call at any time.
void removeSettingsTooltips();
