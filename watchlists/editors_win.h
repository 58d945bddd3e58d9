// The program and title watch-list editors: modeless dialogs that build FileList.txt and
// TitleList.txt from the running programs and the open window titles.
#pragma once
#include <windows.h>

// Each opens its editor when it is not open; otherwise nothing.
void openProgramEditor();
void openTitleEditor();
