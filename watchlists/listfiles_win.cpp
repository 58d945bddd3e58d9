#include "watchlists/listfiles_win.h"

#include <new>

WatchList programList;
WatchList titleList;
int programListPresent;
int titleListPresent;

namespace {

// No sharing: while the program reads a list nobody can change it under its feet, and a list that
// another program holds open cannot be read until it lets go.
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
        // Only a file that is gone ends its watch. A passing failure (a virus scanner or an editor
        // holding the file) keeps the list, and the time it was loaded with: the scan's next tick
        // still finds the file changed and tries again.
        if (isListFileGone(GetLastError()))
            present = 0;
        return 0;
    }
    const uint64_t written = lastWriteTimeOf(file);
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    const bool sizeKnown = !(size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
    const bool cut = sizeHigh != 0 || size > kListFileMaxSize;
    const DWORD wanted = cut ? kListFileMaxSize : size;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[wanted + kListSlack]());
    DWORD bytesRead = 0;
    const bool readOk = sizeKnown && buffer && ReadFile(file, buffer.get(), wanted, &bytesRead, nullptr);
    CloseHandle(file);
    if (!readOk)
        return 0;  // passing too: the list and its time stay
    list.lastWriteTime = written;
    // Only what was actually read: the zero bytes behind a short read are no entry.
    const size_t got = bytesRead < wanted ? bytesRead : wanted;
    const size_t used = cut ? dropPartialLastLine(buffer.get(), got) : got;
    return adoptListText(list, std::move(buffer), used);
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

bool isListFileGone(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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
