// Watch-target scan, run once a second by timer 8: marks the list entries whose program runs or
// whose title is on screen, confirms them, and reports what it found in a balloon.
#include "app/scan_win.h"

#include <cstring>
#include <tlhelp32.h>

#include "app/bytes.h"
#include "app/process_win.h"
#include "app/wildcard.h"
#include "app/windows_win.h"
#include "settings/settings.h"
#include "status/tray_win.h"
#include "watchlists/listfiles_win.h"

TitleTable windowTitleTable;

namespace {

constexpr const char* kNothingFoundText = "監視対象は見つかりません";
constexpr size_t kBalloonTextSize = 256;  // the notify record's balloon field

WatchReport report;
ProcessNameTable runningProcesses;
// The report last shown; all zero at start. A first byte of 0xFF makes the next scan differ.
char rememberedReport[kReportSize];

// The processes of the tick's snapshot; when it could not be taken, the names the last good one
// left in the table. Taking a failed snapshot for "nothing runs" would switch the function on,
// and the next good one off again.
template <typename Visit>
void forEachKnownProcess(HANDLE snapshot, Visit visit)
{
    if (snapshot != INVALID_HANDLE_VALUE) {
        forEachWatchableProcess(snapshot, visit);
        return;
    }
    for (int slot = 0; slot < runningProcesses.count; ++slot) {
        if (!visit(tableProcessName(runningProcesses, slot)))
            return;
    }
}

// Every running process marks the first not-yet-found entry that matches it. The names are kept
// for the confirmation.
void markRunningPrograms(HANDLE snapshot)
{
    const bool fresh = snapshot != INVALID_HANDLE_VALUE;
    if (fresh)
        clearProcessNames(runningProcesses);
    forEachKnownProcess(snapshot, [fresh](std::string_view name) {
        if (fresh)
            addProcessName(runningProcesses, name);
        for (uint32_t i = 0; i < programList.entryCount; ++i) {
            if (listMark(programList, i) != kMarkNotFound)
                continue;
            const std::string_view entry = listEntry(programList, i);
            if (isReservedProcessName(entry))
                continue;
            if (matchWildcard(name, boundedListEntry(entry))) {
                listMark(programList, i) = kMarkFound;
                break;
            }
        }
        return true;
    });
}

void collectWindowTitles()
{
    clearTitleTable(windowTitleTable);
    EnumWindows(collectWindowTitle, reinterpret_cast<LPARAM>(appInstance));
}

void markPresentTitles()
{
    for (uint32_t i = 0; i < titleList.entryCount; ++i) {
        if (listMark(titleList, i) == kMarkNotFound &&
            findMatchingTitle(windowTitleTable, boundedListEntry(listEntry(titleList, i))) >= 0)
            listMark(titleList, i) = kMarkFound;
    }
}

// A found entry stays found only while a process still matches it; the first such process is
// reported. The tick's own snapshot serves: it was taken moments ago, in this same tick. Its names
// were kept while marking; only a snapshot with more processes than the table holds is walked
// again.
void confirmPrograms(HANDLE snapshot)
{
    for (uint32_t i = 0; i < programList.entryCount; ++i) {
        char& mark = listMark(programList, i);
        if (mark != kMarkFound)
            continue;
        mark = kMarkNotFound;
        const std::string_view pattern = boundedListEntry(listEntry(programList, i));
        auto confirm = [&](std::string_view name) {
            if (!matchWildcard(name, pattern))
                return true;
            appendReportEntry(report, ReportSection::programs, name);
            mark = kMarkFound;
            return false;
        };
        if (runningProcesses.complete)
            forEachKnownProcess(INVALID_HANDLE_VALUE, confirm);
        else
            forEachKnownProcess(snapshot, confirm);
    }
}

// The same for titles, against the table this tick collected.
void confirmTitles()
{
    for (uint32_t i = 0; i < titleList.entryCount; ++i) {
        char& mark = listMark(titleList, i);
        if (mark != kMarkFound)
            continue;
        mark = kMarkNotFound;
        const int slot = findMatchingTitle(windowTitleTable, boundedListEntry(listEntry(titleList, i)));
        if (slot >= 0) {
            appendReportEntry(report, ReportSection::titles, tableTitle(windowTitleTable, slot));
            mark = kMarkFound;
        }
    }
}

// A balloon for every change in what is found, and one when everything found has gone.
void showReportWhenChanged()
{
    if (std::memcmp(report.bytes.data(), rememberedReport, kReportSize) == 0)
        return;
    std::memset(rememberedReport, 0, kReportSize);
    const std::string_view text = reportText(report);
    char balloon[kBalloonTextSize];
    if (text.empty()) {
        copyBounded(balloon, sizeof(balloon), kNothingFoundText);
    } else {
        std::memcpy(rememberedReport, text.data(), text.size());
        const std::string_view shown = text.substr(0, text.size() - 1);
        copyBounded(balloon, sizeof(balloon), shown.substr(0, balloonTextLength(shown, sizeof(balloon) - 1)));
    }
    showTrayBalloon(mainWindow, balloon, kAppName, kBalloonInfo);
}

// Reloads a list whose file changed in any way since it was loaded. Returns 1 when the list is
// current, 0 when its file is gone (its watch ends with it: the present flag is cleared), -1 when
// the file cannot be opened for now (the tick is abandoned and the next one tries again).
int refreshList(const char* fileName, const WatchList& list, unsigned (*load)(), int& present)
{
    uint64_t written = 0;
    if (!readListFileTime(fileName, &written)) {
        if (!isListFileGone(GetLastError()))
            return -1;
        present = 0;
        return 0;
    }
    if (written != list.lastWriteTime)
        load();
    return 1;
}

}  // namespace

int runWatchScan()
{
    // A list without text is one whose first load failed in passing: the refresh tries again.
    bool programWatch = settings.ApplicationCheck == 1 && programListPresent && processWatchAvailable;
    bool titleWatch = settings.TitleCheck == 1 && titleListPresent;

    HANDLE snapshot = INVALID_HANDLE_VALUE;
    if (programWatch) {
        const int state = refreshList(kProgramListFile, programList, loadProgramList, programListPresent);
        if (state < 0)
            return -1;
        programWatch = state > 0;
    }
    if (programWatch) {
        snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        markRunningPrograms(snapshot);
    }
    if (titleWatch) {
        const int state = refreshList(kTitleListFile, titleList, loadTitleList, titleListPresent);
        if (state < 0) {
            if (snapshot != INVALID_HANDLE_VALUE)
                CloseHandle(snapshot);
            return -1;
        }
        titleWatch = state > 0;
    }
    if (titleWatch) {
        collectWindowTitles();
        markPresentTitles();
    }

    clearReport(report);
    int found = 0;
    if (programWatch && hasFoundMark(programList)) {
        confirmPrograms(snapshot);
        found += static_cast<int>(countFoundMarks(programList));
    }
    if (snapshot != INVALID_HANDLE_VALUE)
        CloseHandle(snapshot);
    if (titleWatch && hasFoundMark(titleList)) {
        confirmTitles();
        found += static_cast<int>(countFoundMarks(titleList));
    }

    if ((settings.ApplicationCheck == 1 || settings.TitleCheck == 1) && settings.StatusDisplay == 1)
        showReportWhenChanged();
    return found;
}

BOOL CALLBACK collectWindowTitle(HWND window, LPARAM)
{
    // A full table collects nothing more; the enumeration still runs to its end.
    if (windowTitleTable.count >= kTitleSlots)
        return TRUE;
    char title[kTitleSize] = {};
    GetWindowTextA(window, title, sizeof(title));
    const std::string_view view(title, strnlen(title, sizeof(title) - 1));
    if (!view.empty() && !isOwnWindowTitle(view))
        addTitle(windowTitleTable, view);
    return TRUE;
}

void invalidateWatchReport()
{
    rememberedReport[0] = static_cast<char>(0xFF);
}
