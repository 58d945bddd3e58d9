// Reader of version resources.
#pragma once
#include <windows.h>

struct VersionBlock {
    void* data;          // heap block owned by the caller; null when there is none
    DWORD size;          // bytes at data
    WORD language;       // the block's first translation
    WORD codePage;
};

// Returns 1 and fills block when the file has a version block with a translation; else 0,
// with block->data null.
int loadVersionBlock(const char* path, VersionBlock* block);
void freeVersionBlock(VersionBlock* block);
// Copies the string under key into destination (cut to fit at a character boundary).
// 1 when found, else 0 and "".
int queryVersionString(const VersionBlock* block, const char* key, char* destination,
                       size_t destinationSize);
