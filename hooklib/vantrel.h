// Exports of the input hook library Vantrel.dll.
#pragma once

#ifdef VANTREL_BUILD
#define VANTREL_API extern "C" __declspec(dllexport)
#else
#define VANTREL_API extern "C" __declspec(dllimport)
#endif

VANTREL_API int SetHook();
VANTREL_API void FreeHook();
VANTREL_API int MessageCheck();
VANTREL_API int MessageSet(int value);
