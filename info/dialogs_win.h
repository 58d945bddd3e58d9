// The about box and the readme viewer.
#pragma once
#include <windows.h>

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK readmeViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void openAboutBox();
// Opens the readme viewer with the given owner (null for a readme-only start).
void openReadmeViewer(HWND owner);
