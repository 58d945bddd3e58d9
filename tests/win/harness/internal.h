// Pieces the harness's own files share; tests use harness.h only.
#pragma once
#include <windows.h>

#include <vector>

namespace harness {

// Ends the processes started during the current test without touching their handles (for the
// watchdog thread).
void killStartedProcessesNow();
std::vector<DWORD> startedProcessIds();
std::vector<DWORD> processIdsByName(const char* exeName);

} // namespace harness
