// Exports of the input hook library Vantrel.dll.
//
// The functions are exported by their plain names on both architectures. They use the C
// calling convention on purpose: on i686 the linker then writes an import library that maps
// the compiler's names (_SetHook) onto the undecorated exports (SetHook) straight from
// vantrel.def. With __stdcall the callers would ask for SetHook@0, which needs a second,
// separately generated import library; the exports gain nothing from it.
#pragma once

#ifdef VANTREL_BUILD
#define VANTREL_API extern "C" __declspec(dllexport)
#else
#define VANTREL_API extern "C" __declspec(dllimport)
#endif

// Installs the system-wide mouse hook, then the keyboard hook. 1 when both are installed;
// 0 otherwise, with neither left installed.
VANTREL_API int __cdecl SetHook(void);
// Removes both hooks when SetHook installed them; does nothing before that.
VANTREL_API void __cdecl FreeHook(void);
// The activity flag as it stands (not cleared by reading).
VANTREL_API int __cdecl MessageCheck(void);
// Stores value into the activity flag and returns it.
VANTREL_API int __cdecl MessageSet(int value);
// GetTickCount when either hook last received an event, whether it counted as activity or not
// (a move to the same point does not); 0 before the first.
VANTREL_API unsigned __cdecl LastEventTime(void);

// For callers that bind the library at run time (GetProcAddress).
typedef int(__cdecl* SetHookProc)(void);
typedef void(__cdecl* FreeHookProc)(void);
typedef int(__cdecl* MessageCheckProc)(void);
typedef int(__cdecl* MessageSetProc)(int value);
typedef unsigned(__cdecl* LastEventTimeProc)(void);
