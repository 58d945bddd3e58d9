// Reader of version resources.
#pragma once
#include <windows.h>

struct VersionBlock {
    void* data;          // heap block owned by the caller; null when there is none
    WORD language;
    WORD codePage;
};

// Returns 1 and fills block when the file has a version block with a translation; else 0.
int loadVersionBlock(const char* path, VersionBlock* block);
void freeVersionBlock(VersionBlock* block);
// Copies the string under key into destination (cut to fit). 1 when found, else 0 and "".
int queryVersionString(const VersionBlock* block, const char* key, char* destination,
                       size_t destinationSize);
