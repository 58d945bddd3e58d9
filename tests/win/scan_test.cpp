// The watch scan in-process: real processes and real windows of helper programs, the lists and
// the start-up flags set directly, runWatchScan called as timer 8 would.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "app/scan_win.h"
#include "app/startup_win.h"
#include "settings/settings.h"
#include "tests/win/power_observer.h"
#include "watchlists/listfiles_win.h"

namespace {

std::string binDirectoryPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string directory = path;
    return directory.substr(0, directory.find_last_of('\\'));
}

struct Child {
    HANDLE process = nullptr;
    DWORD id = 0;
};

bool startChild(const std::string& path, const std::string& arguments, Child* child)
{
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    // Wine has been seen to fail a start under load; try again a few times.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &info)) {
            CloseHandle(info.hThread);
            child->process = info.hProcess;
            child->id = info.dwProcessId;
            return true;
        }
        Sleep(200);
    }
    return false;
}

void endChild(Child& child)
{
    if (!child.process)
        return;
    TerminateProcess(child.process, 0);
    WaitForSingleObject(child.process, 10000);
    CloseHandle(child.process);
    child.process = nullptr;
}

bool waitFor(bool (*condition)(const void*), const void* context, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!condition(context)) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(10);
    }
    return true;
}

uint64_t fileTimeOf(const char* name)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(name, GetFileExInfoStandard, &data);
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

void setFileTime(const char* name, uint64_t time)
{
    HANDLE file = CreateFileA(name, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    FILETIME written = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

std::string readFile(const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

}  // namespace

// A fresh working directory with the list files, the settings the scan reads, and the helper
// programs it starts; all undone afterwards.
class ScanInProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof(previousDirectory_), previousDirectory_);
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof(temp), temp);
        static int counter = 0;
        directory_ = std::string(temp) + "somnivar-scan-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
        ASSERT_TRUE(CreateDirectoryA(directory_.c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryA(directory_.c_str()));
        previousSettings_ = settings;
        settings.ApplicationCheck = 1;
        settings.TitleCheck = 1;
        settings.StatusDisplay = 0;
        processWatchAvailable = 1;
        programListPresent = 0;
        titleListPresent = 0;
        freeWatchLists();
    }

    void TearDown() override
    {
        for (Child& child : children_)
            endChild(child);
        freeWatchLists();
        programListPresent = 0;
        titleListPresent = 0;
        settings = previousSettings_;
        SetCurrentDirectoryA(previousDirectory_);
        for (const std::string& file : files_)
            DeleteFileA((directory_ + "\\" + file).c_str());
        RemoveDirectoryA(directory_.c_str());
    }

    void writeFile(const char* name, const std::string& bytes)
    {
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        files_.push_back(name);
    }

    // Writes the lists and loads them the way start-up does.
    void startWithLists(const std::string& programs, const std::string& titles)
    {
        if (!programs.empty()) {
            writeFile(kProgramListFile, programs);
            programListPresent = 1;
            loadProgramList();
        }
        if (!titles.empty()) {
            writeFile(kTitleListFile, titles);
            titleListPresent = 1;
            loadTitleList();
        }
    }

    // Starts the do-nothing helper under a watched name, from the working directory.
    Child& startProgramAs(const char* name)
    {
        if (std::find(files_.begin(), files_.end(), name) == files_.end()) {
            EXPECT_TRUE(CopyFileA((binDirectoryPath() + "\\scanprocess.exe").c_str(), name, FALSE));
            files_.push_back(name);
        }
        children_.emplace_back();
        EXPECT_TRUE(startChild(directory_ + "\\" + name, "60", &children_.back())) << name;
        return children_.back();
    }

    // Starts the window helper with these arguments and waits until all its windows exist.
    Child& startWindows(const std::string& arguments)
    {
        children_.emplace_back();
        Child& child = children_.back();
        EXPECT_TRUE(startChild(binDirectoryPath() + "\\scanwindows.exe", arguments + " -t 60", &child));
        const std::string ready = "scanwindows ready " + std::to_string(child.id);
        EXPECT_TRUE(waitFor([](const void* title) { return FindWindowA(nullptr, static_cast<const std::string*>(title)->c_str()) != nullptr; },
                            &ready, 15000));
        return child;
    }

    std::deque<Child>& children() { return children_; }

    std::string directory_;

private:
    char previousDirectory_[MAX_PATH] = {};
    Settings previousSettings_ = {};
    std::vector<std::string> files_;
    std::deque<Child> children_;  // a deque: references to earlier children stay valid
};

TEST_F(ScanInProcess, ReservedEntriesAreSkippedAndLaterEntriesStillCount)
{
    startWithLists("System\r\nSomnivar.exe\r\n[System Process]\r\nSomniv*\r\nSyst?m\r\nnotepad.exe\r\n", "");
    // Processes with the reserved names are never watched, not even through a wildcard.
    startProgramAs("Somnivar.exe");
    startProgramAs("System");
    EXPECT_EQ(runWatchScan(), 0);
    startProgramAs("notepad.exe");
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(std::string(programList.text.get()), "System<Somnivar.exe<[System Process]<Somniv*<Syst?m<notepad.exe>");
}

TEST_F(ScanInProcess, EachProcessMarksTheFirstMatchingEntryOnly)
{
    // The first process matching both entries takes the first; a second process the next one.
    startWithLists("note*\r\nnotepad.exe\r\ncalc.exe\r\n", "");
    startProgramAs("notepad.exe");
    startProgramAs("calc.exe");
    EXPECT_EQ(runWatchScan(), 2);
    EXPECT_EQ(std::string(programList.text.get()), "note*>notepad.exe<calc.exe>");
    EXPECT_EQ(lastWatchReport(), "・監視プログラム名\n    notepad.exe\n    calc.exe\n");
}

TEST_F(ScanInProcess, JapaneseTitlesAreFoundAndReported)
{
    startWithLists("", "メモ帳*\r\n設定\r\n");
    EXPECT_EQ(runWatchScan(), 0);
    Child& windows = startWindows("\"無題 - メモ帳\" \"メモ帳 - a.txt\" 設定");
    // "メモ帳*" matches "メモ帳 - a.txt" only: the text must start like the entry.
    EXPECT_EQ(runWatchScan(), 2);
    EXPECT_EQ(lastWatchReport(), "・監視タイトル名\n    メモ帳 - a.txt\n    設定\n");
    endChild(windows);
    EXPECT_EQ(runWatchScan(), 0);
}

TEST_F(ScanInProcess, ProgramsAndTitlesReportInOneText)
{
    startWithLists("calc.exe\r\n", "Report *\r\n");
    startProgramAs("calc.exe");
    startWindows("\"Report 1\" Other");
    EXPECT_EQ(runWatchScan(), 2);
    EXPECT_EQ(lastWatchReport(), "・監視プログラム名\n    calc.exe\n・監視タイトル名\n    Report 1\n");
}

TEST_F(ScanInProcess, OwnWindowsAreNeverCollected)
{
    // Windows of this process with the program's own titles, and an equal title twice elsewhere.
    const char* own[] = {"Somnivar", "Somnivar の設定", "監視タイトルの追加・削除"};
    std::vector<HWND> windows;
    for (const char* title : own)
        windows.push_back(CreateWindowExA(0, "STATIC", title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    startWindows("\"Somnivar の設定 \" twice twice");
    clearTitleTable(windowTitleTable);
    EnumWindows(collectWindowTitle, 0);
    int twice = 0;
    bool spaced = false;
    for (int slot = 0; slot < windowTitleTable.count; ++slot) {
        const std::string_view title = tableTitle(windowTitleTable, slot);
        for (const char* ownTitle : own)
            EXPECT_NE(title, ownTitle);
        twice += title == "twice";
        spaced |= title == "Somnivar の設定 ";
    }
    EXPECT_EQ(twice, 1);
    EXPECT_TRUE(spaced);
    for (HWND window : windows)
        DestroyWindow(window);
}

TEST_F(ScanInProcess, ATimeSetBackReloadsAndClearsTheMarks)
{
    startWithLists("notepad.exe\r\n", "");
    Child& notepad = startProgramAs("notepad.exe");
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>");
    endChild(notepad);
    // Same content, older time: reloaded all the same, so the mark is reset before the scan.
    const uint64_t older = fileTimeOf(kProgramListFile) - 864000000000ull;
    setFileTime(kProgramListFile, older);
    startProgramAs("calc.exe");
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(programList.lastWriteTime, older);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe<");
}

TEST_F(ScanInProcess, UnchangedListIsNotReloaded)
{
    startWithLists("notepad.exe\r\n", "");
    // A change made in memory only survives as long as the file is not read again.
    programList.text[0] = 'N';
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(std::string(programList.text.get()), "Notepad.exe<");
    setFileTime(kProgramListFile, programList.lastWriteTime + 1);
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe<");
}

TEST_F(ScanInProcess, HeldTitleListAbandonsTheTickAfterTheProgramWatch)
{
    startWithLists("notepad.exe\r\n", "Report*\r\n");
    startProgramAs("notepad.exe");
    startWindows("Report");
    HANDLE held = CreateFileA(kTitleListFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(runWatchScan(), -1);
    // The abandoned tick keeps the lists and their flags; the program mark it set stays for the
    // next tick to confirm.
    EXPECT_EQ(titleListPresent, 1);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>");
    CloseHandle(held);
    EXPECT_EQ(runWatchScan(), 2);
}

TEST_F(ScanInProcess, SwitchedOffWatchesAreNotScanned)
{
    startWithLists("notepad.exe\r\n", "Report\r\n");
    startProgramAs("notepad.exe");
    startWindows("Report");
    settings.ApplicationCheck = 0;
    EXPECT_EQ(runWatchScan(), 1);
    settings.TitleCheck = 0;
    settings.ApplicationCheck = 1;
    processWatchAvailable = 0;
    EXPECT_EQ(runWatchScan(), 0);
    processWatchAvailable = 1;
    EXPECT_EQ(runWatchScan(), 1);
    // A switched-off list is not even opened, so holding it does not abandon the tick.
    settings.ApplicationCheck = 0;
    HANDLE held = CreateFileA(kProgramListFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(runWatchScan(), 0);
    CloseHandle(held);
}

TEST_F(ScanInProcess, LoaderFailureKeepsTheOldListAndClearsTheFlag)
{
    startWithLists("notepad.exe\r\n", "");
    HANDLE held = CreateFileA(kProgramListFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(loadProgramList(), 0u);
    EXPECT_EQ(programListPresent, 0);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe<");
    CloseHandle(held);
    // Nothing sets the flag again, so the list is not scanned any more.
    startProgramAs("notepad.exe");
    EXPECT_EQ(runWatchScan(), 0);
}

TEST_F(ScanInProcess, LoaderReadsTheWholeFile)
{
    writeFile(kTitleListFile, "a.exe\r\nb.exe\r\n");
    titleListPresent = 1;
    EXPECT_EQ(loadTitleList(), 13u);
    EXPECT_EQ(std::string(titleList.text.get()), "a.exe<b.exe<");
    EXPECT_EQ(titleList.lastWriteTime, fileTimeOf(kTitleListFile));
    // A 0-byte file is an empty list, and its flag stays.
    writeFile(kTitleListFile, "");
    EXPECT_EQ(loadTitleList(), 1u);
    EXPECT_EQ(titleList.entryCount, 0u);
    EXPECT_EQ(titleListPresent, 1);
    // The loader holds the file only while it reads it.
    EXPECT_EQ(readFile(kTitleListFile), "");
}

TEST_F(ScanInProcess, LongEntriesAreCutLikeTheEditorsCutThem)
{
    // A 1030-byte title entry keeps its first 1023 bytes, which is what a window with that long a
    // title reads back as.
    const std::string title(1030, 't');
    startWithLists("", title + "\r\n");
    startWindows("\"" + title + "\"");
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(lastWatchReport(), "・監視タイトル名\n    " + title.substr(0, 1023) + "\n");
}

// ---- Status balloons, caught at the shell call.
namespace {

struct Balloon {
    HWND window;
    std::string text;
    std::string title;
    DWORD kind;
};
std::vector<Balloon> balloons;

BOOL WINAPI recordNotifyCall(DWORD message, PNOTIFYICONDATAA data)
{
    if (message == NIM_MODIFY && (data->uFlags & NIF_INFO))
        balloons.push_back({data->hWnd, data->szInfo, data->szInfoTitle, data->dwInfoFlags});
    return TRUE;
}

}  // namespace

class ScanBalloon : public ScanInProcess {
protected:
    void SetUp() override
    {
        ScanInProcess::SetUp();
        previousMainWindow_ = mainWindow;
        mainWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        previousNotify_ = powertest::hookImport("Shell_NotifyIconA", reinterpret_cast<void*>(recordNotifyCall));
        ASSERT_NE(previousNotify_, nullptr);
        settings.StatusDisplay = 1;
        // Whatever an earlier test left shown: one scan with nothing to find forgets it.
        runWatchScan();
        balloons.clear();
    }

    void TearDown() override
    {
        powertest::hookImport("Shell_NotifyIconA", previousNotify_);
        DestroyWindow(mainWindow);
        mainWindow = previousMainWindow_;
        balloons.clear();
        ScanInProcess::TearDown();
    }

private:
    HWND previousMainWindow_ = nullptr;
    void* previousNotify_ = nullptr;
};

TEST_F(ScanBalloon, ShowsEveryChangeAndTheEndOfIt)
{
    startWithLists("notepad.exe\r\ncalc.exe\r\n", "");
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_TRUE(balloons.empty());  // nothing found, nothing found before
    Child& notepad = startProgramAs("notepad.exe");
    EXPECT_EQ(runWatchScan(), 1);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].text, "・監視プログラム名\n    notepad.exe");
    EXPECT_EQ(balloons[0].title, "Somnivar");
    EXPECT_EQ(balloons[0].kind, 1u);
    EXPECT_EQ(balloons[0].window, mainWindow);
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(balloons.size(), 1u);  // unchanged: no balloon
    startProgramAs("calc.exe");
    EXPECT_EQ(runWatchScan(), 2);
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_EQ(balloons[1].text, "・監視プログラム名\n    notepad.exe\n    calc.exe");
    endChild(notepad);
    EXPECT_EQ(runWatchScan(), 1);
    ASSERT_EQ(balloons.size(), 3u);
    EXPECT_EQ(balloons[2].text, "・監視プログラム名\n    calc.exe");
    for (Child& child : children())
        endChild(child);
    EXPECT_EQ(runWatchScan(), 0);
    ASSERT_EQ(balloons.size(), 4u);
    EXPECT_EQ(balloons[3].text, "監視対象は見つかりません");
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(balloons.size(), 4u);
}

TEST_F(ScanBalloon, ShowStatusCommandShowsTheSameReportAgain)
{
    startWithLists("notepad.exe\r\n", "");
    startProgramAs("notepad.exe");
    runWatchScan();
    ASSERT_EQ(balloons.size(), 1u);
    invalidateWatchReport();
    EXPECT_EQ(runWatchScan(), 1);
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_EQ(balloons[1].text, balloons[0].text);
    EXPECT_EQ(runWatchScan(), 1);
    EXPECT_EQ(balloons.size(), 2u);
    // With nothing found, the command brings up the "nothing found" balloon.
    for (Child& child : children())
        endChild(child);
    runWatchScan();
    invalidateWatchReport();
    runWatchScan();
    ASSERT_EQ(balloons.size(), 4u);
    EXPECT_EQ(balloons[3].text, "監視対象は見つかりません");
}

TEST_F(ScanBalloon, NoBalloonWithoutStatusDisplayOrWithoutAnyWatch)
{
    startWithLists("notepad.exe\r\n", "");
    startProgramAs("notepad.exe");
    settings.StatusDisplay = 0;
    EXPECT_EQ(runWatchScan(), 1);
    settings.StatusDisplay = 1;
    settings.ApplicationCheck = 0;
    settings.TitleCheck = 0;
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_TRUE(balloons.empty());
}

TEST_F(ScanBalloon, LongListIsCutAfterAWholeName)
{
    // 30 windows of 30-byte titles: far more than a balloon holds.
    std::string titles;
    std::string arguments;
    for (int i = 10; i < 40; ++i) {
        const std::string title = "ウィンドウの長いタイトル " + std::to_string(i);
        titles += title + "\r\n";
        arguments += " \"" + title + "\"";
    }
    startWithLists("", titles);
    startWindows(arguments);
    EXPECT_EQ(runWatchScan(), 30);
    ASSERT_EQ(balloons.size(), 1u);
    const std::string& text = balloons[0].text;
    EXPECT_LE(text.size(), 255u);
    const std::string start = "・監視タイトル名\n    ";
    EXPECT_EQ(text.compare(0, start.size(), start), 0);
    // The balloon is a prefix of the report that ends right before a line break.
    const std::string report(lastWatchReport());
    EXPECT_EQ(report.compare(0, text.size(), text), 0);
    EXPECT_EQ(report[text.size()], '\n');
    EXPECT_GT(report.size(), 900u);
}

// ---- Cost of one tick against the platform calls no tick can avoid: one process-snapshot walk,
// one enumeration that reads every title, and the time checks of the two list files.
namespace {

double nowMicroseconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

BOOL CALLBACK readEveryTitle(HWND window, LPARAM count)
{
    char title[1024];
    if (GetWindowTextA(window, title, sizeof(title)) > 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int runningProcessCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof(process);
    int count = 0;
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process))
        ++count;
    CloseHandle(snapshot);
    return count;
}

void tickFloor()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof(process);
    size_t nameBytes = 0;
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process))
        nameBytes += strnlen(process.szExeFile, sizeof(process.szExeFile));
    CloseHandle(snapshot);
    int titles = 0;
    EnumWindows(readEveryTitle, reinterpret_cast<LPARAM>(&titles));
    for (const char* name : {kProgramListFile, kTitleListFile}) {
        HANDLE file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME written;
        GetFileTime(file, nullptr, nullptr, &written);
        CloseHandle(file);
    }
    (void)nameBytes;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Entry sets that name nothing running: literal names over many first letters, and some with a
// wildcard up front, which must be tried against every name.
std::string programEntries(int count, int found)
{
    static const char* words[] = {"alpha", "bravo", "cobalt", "delta", "ember", "falcon", "garnet", "harbor",
                                  "indigo", "juniper", "krypton", "lumen", "mosaic", "nimbus", "onyx", "prism",
                                  "quartz", "raven", "sable", "tundra", "umber", "vertex", "willow", "xenon"};
    std::string list;
    for (int i = 0; i < count; ++i) {
        const std::string word = words[i % 24];
        if (i < found)
            list += "work" + std::to_string(i) + ".exe\r\n";
        else if (i % 10 == 9)
            list += "*" + word + std::to_string(i) + "*.exe\r\n";
        else
            list += word + std::to_string(i) + ".exe\r\n";
    }
    return list;
}

std::string titleEntries(int count, int found, bool starFirstOnly)
{
    static const char* words[] = {"Draft", "Editor", "Viewer", "Console", "Mail", "Player", "Browser", "Settings",
                                  "Terminal", "Notes", "Calendar", "Monitor", "Downloads", "Report"};
    std::string list;
    for (int i = 0; i < count; ++i) {
        const std::string word = words[i % 14];
        if (i < found)
            list += "Document " + std::to_string(i * 7) + "\r\n";
        else if (starFirstOnly || i % 10 == 9)
            list += "*" + word + " " + std::to_string(i) + "*\r\n";
        else
            list += word + " " + std::to_string(i) + " - *\r\n";
    }
    return list;
}

}  // namespace

class ScanPerf : public ScanInProcess {
protected:
    // Interleaves ticks and floors so that both see the same load; returns the median pair.
    void measure(const char* label, int expectedFound, double* tickOut = nullptr, double* floorOut = nullptr)
    {
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(runWatchScan(), expectedFound);
        std::vector<double> ticks;
        std::vector<double> floors;
        for (int i = 0; i < 41; ++i) {
            double start = nowMicroseconds();
            tickFloor();
            floors.push_back(nowMicroseconds() - start);
            start = nowMicroseconds();
            const int found = runWatchScan();
            ticks.push_back(nowMicroseconds() - start);
            ASSERT_EQ(found, expectedFound);
        }
        const double tick = median(ticks);
        const double floor = median(floors);
        std::printf("[ ScanPerf ] %-44s tick %8.0f us   floor %8.0f us   ratio %.2f\n", label, tick, floor,
                    tick / floor);
        if (tickOut)
            *tickOut = tick;
        if (floorOut)
            *floorOut = floor;
    }

    // About 50 processes (the test, Wine's own and copies of the helper) and 500 windows of another
    // process.
    void populate()
    {
        const int existing = runningProcessCount();
        for (int i = 0; existing + i < 50; ++i)
            startProgramAs(("work" + std::to_string(i) + ".exe").c_str());
        startWindows("-n 500 \"Document \"");
        std::printf("[ ScanPerf ] %d processes, %d windows with a title\n", runningProcessCount(), [] {
            int titles = 0;
            EnumWindows(readEveryTitle, reinterpret_cast<LPARAM>(&titles));
            return titles;
        }());
    }
};

TEST_F(ScanPerf, ThousandEntriesNothingFound)
{
    populate();
    startWithLists(programEntries(1000, 0), titleEntries(1000, 0, false));
    settings.StatusDisplay = 1;
    double tick = 0, floor = 0;
    measure("1000 + 1000 entries, none found", 0, &tick, &floor);
    // The goal is 1.5 x the floor; the margin above it absorbs the noise of a shared machine.
    EXPECT_LE(tick, 2.0 * floor);
}

TEST_F(ScanPerf, ThousandEntriesTenFound)
{
    populate();
    startWithLists(programEntries(1000, 5), titleEntries(1000, 5, false));
    settings.StatusDisplay = 1;
    double tick = 0, floor = 0;
    measure("1000 + 1000 entries, 10 found", 10, &tick, &floor);
    EXPECT_LE(tick, 2.0 * floor);
}

TEST_F(ScanPerf, ThousandStarFirstTitleEntries)
{
    // Every title entry must be tried against every title: entries x titles at its fullest.
    populate();
    startWithLists(programEntries(1000, 0), titleEntries(1000, 0, true));
    measure("1000 + 1000 entries, all titles star-first", 0);
}
