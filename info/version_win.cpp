#include "info/version_win.h"

int loadVersionBlock(const char*, VersionBlock* block)
{
    block->data = nullptr;
    return 0;
}
void freeVersionBlock(VersionBlock* block) { block->data = nullptr; }
int queryVersionString(const VersionBlock*, const char*, char* destination, size_t destinationSize)
{
    if (destinationSize)
        destination[0] = '\0';
    return 0;
}
