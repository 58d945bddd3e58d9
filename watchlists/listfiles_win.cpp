#include "watchlists/listfiles_win.h"

#include <new>

WatchList programList;
WatchList titleList;
int programListPresent;
int titleListPresent;

namespace {

// No sharing: while the program reads a list nobody can change it under its feet, and a list that
// another program holds open reads as missing.
HANDLE openListFile(const char* fileName)
{
    return CreateFileA(fileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint64_t lastWriteTimeOf(HANDLE file)
{
    FILETIME written = {};
    GetFileTime(file, nullptr, nullptr, &written);
    return (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

unsigned loadList(const char* fileName, WatchList& list, int& present)
{
    HANDLE file = openListFile(fileName);
    if (file == INVALID_HANDLE_VALUE) {
        present = 0;
        return 0;
    }
    releaseListText(list);
    list.lastWriteTime = lastWriteTimeOf(file);

    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    // A size the buffer arithmetic cannot hold reads as a failed read: an empty list.
    const bool sizeUsable = sizeHigh == 0 && size <= MAXDWORD - kListSlack &&
                            !(size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
    const size_t bufferSize = sizeUsable ? size + kListSlack : kListSlack;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bufferSize]());
    if (!buffer) {
        CloseHandle(file);
        return 0;
    }
    DWORD bytesRead = 0;
    const BOOL readOk = sizeUsable && ReadFile(file, buffer.get(), size, &bytesRead, nullptr);
    CloseHandle(file);
    if (!readOk) {
        adoptEmptyListText(list, std::move(buffer), bufferSize, bytesRead);
        return 0;
    }
    // Only what was actually read: the zero bytes behind a short read must not add an entry.
    return adoptListText(list, std::move(buffer), bytesRead < size ? bytesRead : size);
}

}  // namespace

unsigned loadProgramList()
{
    return loadList(kProgramListFile, programList, programListPresent);
}

unsigned loadTitleList()
{
    return loadList(kTitleListFile, titleList, titleListPresent);
}

void freeWatchLists()
{
    releaseListText(programList);
    releaseListText(titleList);
}

int readListFileTime(const char* fileName, uint64_t* lastWriteTime)
{
    HANDLE file = openListFile(fileName);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    *lastWriteTime = lastWriteTimeOf(file);
    CloseHandle(file);
    return 1;
}
