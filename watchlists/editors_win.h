// The program and title watch-list editors: modeless dialogs that build FileList.txt and
// TitleList.txt from the running programs and the open window titles.
#pragma once
#include <windows.h>

// Each opens its editor when it is not open; otherwise nothing.
void openProgramEditor();
void openTitleEditor();

INT_PTR CALLBACK programEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK titleEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What one open editor keeps beside its window handle (programEditor, titleEditor).
struct ListEditorState {
    HWND leftList;               // running programs or open titles
    HWND rightList;              // the watched names, saved in their shown order
    int listModified;            // the right list differs from what was last read or saved
    int columnUpdateByProgram;   // set while the editor itself changes a column width
    int editIndex;               // right-list row of the in-place edit
    HFONT labelFont;             // smaller font of the button labels that did not fit, or null
    int unreadable;              // the list file is there but could not be read: never saved over
};
extern ListEditorState programEditorState;
extern ListEditorState titleEditorState;

// Direction of the next header click's sort, for the left and the right list of either editor;
// toggled before each sort and kept for the whole run.
extern int leftSortDescending;
extern int rightSortDescending;

// ---- In-place editing, shared by both editors and read by the message loop's filter.
constexpr int kEntryBufferSize = 1024;
extern HWND inPlaceEdit;                      // the right list's edit control while an edit runs
extern char textBeforeEdit[kEntryBufferSize]; // the row's name when the edit began
// Each editor's window rectangle when it opened.
extern RECT programEditorOpeningRect;
extern RECT titleEditorOpeningRect;
