#include "info/version_win.h"

#include "app/bytes.h"
#include "app/syslibs_win.h"
#include "info/versiontext.h"

#include <cstring>

namespace {

// Looks a string sub-block up with VerQueryValueA. The string lies in the block (or, for a
// Unicode table, in the block's own conversion area), so its length is bounded by the block's
// end, whatever the length that the platform reports counts.
int lookUpString(const void* context, const char* path, std::string_view* value)
{
    const VersionBlock* block = static_cast<const VersionBlock*>(context);
    void* found = nullptr;
    UINT length = 0;
    if (!systemCalls.verQueryValue(block->data, path, &found, &length) || !found)
        return 0;
    const char* text = static_cast<const char*>(found);
    const char* begin = static_cast<const char*>(block->data);
    const char* end = begin + block->size;
    const size_t limit = text >= begin && text < end ? static_cast<size_t>(end - text) : length;
    *value = std::string_view(text, strnlen(text, limit));
    return 1;
}

} // namespace

int loadVersionBlock(const char* path, VersionBlock* block)
{
    *block = {};
    // Without the version library there is no version to show, nothing worse.
    lookUpSystemCalls();
    if (!systemCalls.getFileVersionInfoSize || !systemCalls.getFileVersionInfo || !systemCalls.verQueryValue)
        return 0;
    DWORD ignored = 0;
    const DWORD size = systemCalls.getFileVersionInfoSize(path, &ignored);
    if (size == 0)
        return 0;
    void* data = HeapAlloc(GetProcessHeap(), 0, size);
    if (!data)
        return 0;
    void* translation = nullptr;
    UINT translationLength = 0;
    // A translation value too short to hold one entry counts as none.
    if (!systemCalls.getFileVersionInfo(path, 0, size, data) ||
        !systemCalls.verQueryValue(data, "\\VarFileInfo\\Translation", &translation, &translationLength) ||
        !translation || translationLength < sizeof(DWORD)) {
        HeapFree(GetProcessHeap(), 0, data);
        return 0;
    }
    DWORD first;
    std::memcpy(&first, translation, sizeof(first));
    block->data = data;
    block->size = size;
    block->language = LOWORD(first);
    block->codePage = HIWORD(first);
    return 1;
}

void freeVersionBlock(VersionBlock* block)
{
    if (block->data)
        HeapFree(GetProcessHeap(), 0, block->data);
    block->data = nullptr;
    block->size = 0;
}

int queryVersionString(const VersionBlock* block, const char* key, char* destination, size_t destinationSize)
{
    std::string_view value;
    const int found = block->data &&
                      findVersionString(block->language, block->codePage, key, lookUpString,
                                        block, &value);
    copyBounded(destination, destinationSize, value);
    return found;
}
