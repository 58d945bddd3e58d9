// The information windows: the about box and the readme viewer, and the rule by which the
// program's other dialogs hold the about box in front of themselves.
#pragma once
#include <windows.h>

// ---- The readme viewer's rich-edit control and library. The message loop hides the control's
// caret, and the shutdown takes the control down when the viewer is still open.
extern HWND readmeEdit;
extern WNDPROC readmeEditPreviousProc;   // the control's own procedure, put back before it goes
extern HMODULE readmeRichEditLibrary;    // RICHED32.DLL while the viewer is open

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK readmeViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the about box, owned by the main window, unless it is open.
void openAboutBox();
// Closes the about box when it is open.
void closeAboutBox();
// Opens the readme viewer with the given owner (null for a readme-only start) unless it is
// open. The caller starts the readme settling.
void openReadmeViewer(HWND owner);
// Gives the rich-edit control its own procedure back and destroys it; the handle is cleared
// first. Nothing happens when there is no control.
void destroyReadmeEdit();

// For a dialog that keeps the about box in front of itself (settings, list editors, readme
// viewer). Call first from its dialog procedure; returns 1 when the message has been handled
// and the procedure returns TRUE at once:
// - activated while the about box is open: the box is closed and opened again in front
//   (through WM_SYSCOMMAND IDC_SHOW_ABOUT posted to the dialog); the activation goes on (0);
// - any system command while the box is open: the same, and the command is swallowed;
// - system command IDC_SHOW_ABOUT with no box: the box opens.
int keepAboutBoxInFront(HWND dialog, UINT message, WPARAM wParam);
// The readme items of the tray menu and the dialogs: opens the viewer when it is not open and
// looks for it during the settling budget.
void showReadme(HWND owner);
// The system menu of the settings dialog and the list editors: the version item, and the readme
// item when the readme is available, each followed by a separator.
void addInfoItemsToSystemMenu(HWND dialog);
