// Start-up, command line, message loop and shutdown. The state they prepare lives in
// app/process_win.h.
#pragma once
#include <windows.h>

// The whole life of the program: start-up, message loop, shutdown. Returns the exit code.
int somnivarMain(HINSTANCE instance, int showCommand);

// The list editors' in-place edit, ahead of all other routing: Enter commits, Esc restores, a
// click on an editor's own background ends the edit. Returns true when the message is consumed.
bool filterInPlaceEdit(const MSG& message);

int setShutdownPrivilege(int enable);
