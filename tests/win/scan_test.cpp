// The watch scan against real processes (the helper copied under watched names) and real
// windows: in-process with runWatchScan called as timer 8 would, then in the running program.
#include "harness/harness.h"
#include <shellapi.h>

#include "app/scan_win.h"
#include "app/startup_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "watchlists/listfiles_win.h"

using namespace harness;

namespace {

constexpr uint64_t kOneDay = 864000000000;

void setFileTime(const char* name, uint64_t time, const char* bytes = nullptr)
{
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    if (bytes)  // under the same handle, so no reader sees the new content with the old time
        WriteFile(file, bytes, static_cast<DWORD>(strlen(bytes)), &written, nullptr), SetEndOfFile(file);
    const FILETIME fileTime = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &fileTime)) << name;
    CloseHandle(file);
}

} // namespace

class Scan : public SomnivarTest {
protected:
    Process startProgramAs(const char* name)
    {
        const std::string path = workDirectory() + "\\" + name;
        CopyFileA(binPath("helper.exe").c_str(), path.c_str(), FALSE);
        Process process;
        EXPECT_TRUE(startProcess(path, {}, &process)) << name;
        return process;
    }
    Process startWindows(const std::string& titles)  // returns once all exist
    {
        Process process;
        EXPECT_TRUE(startProcess(binPath("helper.exe"), {"windows " + titles}, &process));
        const std::string ready = "helper ready " + std::to_string(process.id);
        EXPECT_TRUE(waitUntil([&] { return FindWindowA(nullptr, ready.c_str()) != nullptr; }, 15000));
        return process;
    }
    std::vector<std::string> balloons()
    {
        std::vector<std::string> texts;
        for (const TrayEvent& e : tray_.events()) {
            if (e.message == NIM_MODIFY && (e.flags & NIF_INFO) && e.balloonTitle == "Somnivar" && e.balloonFlags == 1)
                texts.push_back(e.balloonText);
        }
        return texts;
    }
    FakeTray tray_;
};

class ScanInProcess : public Scan {
protected:
    void SetUp() override
    {
        Scan::SetUp();
        ASSERT_TRUE(tray_.start());
        settings.ApplicationCheck = settings.TitleCheck = settings.StatusDisplay = processWatchAvailable = 1;
        mainWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
        programListPresent = titleListPresent = 0;
        freeWatchLists();
        runWatchScan();  // forgets what an earlier test left shown
        tray_.clear();
    }
    void TearDown() override
    {
        freeWatchLists();
        programListPresent = titleListPresent = 0;
        settings = kDefaultSettings;
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        Scan::TearDown();
    }
    void lists(const std::string& programs, const std::string& titles)  // loaded as start-up does
    {
        writeFile(kProgramListFile, programs);
        writeFile(kTitleListFile, titles);
        programListPresent = !programs.empty() && loadProgramList();
        titleListPresent = !titles.empty() && loadTitleList();
    }
};

TEST_F(ScanInProcess, MarksTheFirstMatchingEntriesAndShowsEveryChange)
{
    // A title entry never matches the program's own titles, wherever they are.
    lists("notepad.exe\r\ncalc.exe\r\n", "メモ帳*\r\n設定\r\n*の設定\r\nSomnivar*\r\n");
    Process notepad = startProgramAs("notepad.exe");
    startProgramAs("calc.exe");
    Process windows = startWindows("\"無題 - メモ帳\" \"メモ帳 - a.txt\" 設定 \"Somnivar の設定\" Somnivar");
    const std::string programs = "・監視プログラム名\n    notepad.exe\n    calc.exe";
    EXPECT_EQ(runWatchScan(), 4);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>calc.exe>");
    EXPECT_EQ(runWatchScan(), 4);  // unchanged: no balloon
    invalidateWatchReport();       // the show-status command: the same again
    EXPECT_EQ(runWatchScan(), 4);
    killProcess(windows);
    EXPECT_EQ(runWatchScan(), 2);
    EXPECT_EQ(std::string(titleList.text.get()), "メモ帳*<設定<*の設定<Somnivar*<");
    killProcess(notepad);
    EXPECT_EQ(runWatchScan(), 1);
    killStartedProcesses();
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(runWatchScan(), 0);
    const std::string both = programs + "\n・監視タイトル名\n    メモ帳 - a.txt\n    設定";
    EXPECT_EQ(balloons(), (std::vector<std::string>{both, both, programs, "・監視プログラム名\n    calc.exe",
                                                    "監視対象は見つかりません"}));
    // A process matching two entries marks the first.
    lists("note*\r\nnotepad.exe\r\n", "");
    startProgramAs("notepad.exe");
    runWatchScan();
    EXPECT_EQ(std::string(programList.text.get()), "note*>notepad.exe<");
    tray_.clear();
    settings.StatusDisplay = 0;  // none without StatusDisplay, nor with both watches off
    runWatchScan();
    settings.StatusDisplay = 1;
    settings.ApplicationCheck = settings.TitleCheck = 0;
    invalidateWatchReport();
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_TRUE(balloons().empty());
}

TEST_F(ScanInProcess, ListsReloadWhenTheirTimeDiffersAndAHeldListAbandonsTheTick)
{
    lists("notepad.exe\r\n", "a.exe\r\nb.exe\r\n");
    EXPECT_EQ(titleList.length, 13u);
    programList.text[0] = 'N';  // a change in memory lasts until the file is read again
    EXPECT_EQ(runWatchScan(), 0);
    EXPECT_EQ(std::string(programList.text.get()), "Notepad.exe<");
    for (uint64_t time : {programList.lastWriteTime + 1, programList.lastWriteTime - kOneDay}) {
        programList.text[0] = 'N';
        setFileTime(kProgramListFile, time);
        EXPECT_EQ(runWatchScan(), 0);
        EXPECT_EQ(std::string(programList.text.get()), "notepad.exe<");
        EXPECT_EQ(programList.lastWriteTime, time);
    }
    // Held without sharing: the tick is abandoned, lists, flags and marks stay for the next one.
    startProgramAs("notepad.exe");
    HANDLE held = CreateFileA(kTitleListFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(runWatchScan(), -1);
    EXPECT_EQ(titleListPresent, 1);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>");
    settings.TitleCheck = 0;  // a list switched off is not even opened
    EXPECT_EQ(runWatchScan(), 1);
    CloseHandle(held);

    writeFile(kTitleListFile, "");  // a 0-byte file is an empty list, and writing it shows the loader let go
    EXPECT_EQ(loadTitleList(), 1u);
    EXPECT_EQ(titleList.entryCount, 0u);
    held = CreateFileA(kProgramListFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(loadProgramList(), 0u);  // cannot open: flag cleared, old list kept and no longer scanned
    EXPECT_EQ(programListPresent, 0);
    EXPECT_EQ(std::string(programList.text.get()), "notepad.exe>");
    CloseHandle(held);
    EXPECT_EQ(runWatchScan(), 0);
}

// One running program: reserved names never match, the same program twice is one line, the
// command shows the report again, a held list hides the end, and the user's off stays off.
TEST_F(Scan, RunningProgramSwitchesOffForAWatchedProgramAndBackOn)
{
    writeFile("FileList.txt", "System\r\nSomnivar.exe\r\n[System Process]\r\nSomniv*\r\nSyst?m\r\nnotepad.exe\r\n");
    ASSERT_TRUE(tray_.start());
    ASSERT_TRUE(storeSettings({{"ApplicationCheck", 1}, {"StatusDisplay", 1}}));
    Instance program;
    ASSERT_TRUE(startSomnivar("", &program));
    auto tick = [&] { return postMessage(program.mainWindow, WM_TIMER, TIMER_WATCH_SCAN, 0); };
    auto enableAfterTick = [&](DWORD value) {
        tick();
        return waitUntil([&] { return storedSetting("Enable") == value; }, 5000);
    };
    auto icon = [&](int resource) {
        return tray_.waitFor([&](const TrayEvent& e) { return e.message == NIM_MODIFY && e.iconResource == resource; }, 5000);
    };
    startProgramAs("System");
    tick();
    pumpMessages(2000);
    EXPECT_EQ(storedSetting("Enable"), 1u);
    EXPECT_TRUE(balloons().empty()) << "nothing found, nothing found before";

    Process first = startProgramAs("notepad.exe"), second = startProgramAs("notepad.exe");
    ASSERT_TRUE(enableAfterTick(0));
    EXPECT_TRUE(icon(3));
    ASSERT_TRUE(postMessage(program.mainWindow, WM_COMMAND, IDM_SHOW_WATCH_STATUS, 0));
    tick();
    EXPECT_TRUE(waitUntil([&] { return balloons().size() == 2; }, 5000));
    pumpMessages(1500);
    EXPECT_EQ(balloons(), std::vector<std::string>(2, "・監視プログラム名\n    notepad.exe"));

    HANDLE held = CreateFileA("FileList.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    killProcess(first);
    killProcess(second);
    tick();
    pumpMessages(2000);
    EXPECT_EQ(storedSetting("Enable"), 0u);
    CloseHandle(held);
    ASSERT_TRUE(enableAfterTick(1));
    EXPECT_TRUE(icon(2));
    EXPECT_TRUE(waitUntil([&] { return balloons().size() == 3 && balloons()[2] == "監視対象は見つかりません"; }, 5000));

    Process third = startProgramAs("notepad.exe");
    ASSERT_TRUE(enableAfterTick(0));
    ASSERT_TRUE(sendMessage(program.mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0));
    EXPECT_EQ(storedSetting("OffCheck"), 1u);
    killProcess(third);
    tick();
    EXPECT_TRUE(waitUntil([&] { return balloons().size() == 5; }, 5000));
    pumpMessages(1500);
    EXPECT_EQ(storedSetting("Enable"), 0u);
}
