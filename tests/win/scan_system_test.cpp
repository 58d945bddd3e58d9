// The watch scan in the running program: real processes and windows, the lists in the working
// directory, the settings in the registry, timer 8 fired by posting its tick, and what the user
// sees read back from the stand-in notification area and the stored Enable value.
#include "harness/harness.h"
#include "resources/resource.h"

#include <string>

using namespace harness;

namespace {

constexpr const char* kSettingsKey = "Software\\Orlenby\\Somnivar";
constexpr const char* kProgramHeader = "・監視プログラム名";
constexpr const char* kNothingFound = "監視対象は見つかりません";

bool isBalloon(const TrayEvent& event, const std::string& text)
{
    return event.message == NIM_MODIFY && (event.flags & NIF_INFO) && event.balloonText == text &&
           event.balloonTitle == "Somnivar" && event.balloonFlags == 1;
}

bool isIcon(const TrayEvent& event, int resource)
{
    return event.message == NIM_MODIFY && (event.flags & NIF_ICON) && event.iconResource == resource;
}

}  // namespace

class ScanSystem : public SomnivarTest {
protected:
    void SetUp() override
    {
        SomnivarTest::SetUp();
        ASSERT_TRUE(tray_.start());
    }

    // Starts the program with the watches on, status balloons on and the function on.
    void startProgram(bool titleWatch = false)
    {
        ASSERT_TRUE(storeSettings({{"ApplicationCheck", 1},
                                   {"TitleCheck", titleWatch ? 1u : 0u},
                                   {"StatusDisplay", 1},
                                   {"Enable", 1},
                                   {"OffCheck", 0}}));
        ASSERT_TRUE(startSomnivar("", &instance_));
    }

    // The do-nothing helper, copied under a watched name into the working directory and started.
    Process startAs(const char* name)
    {
        const std::string path = workDirectory() + "\\" + name;
        CopyFileA(binPath("scanprocess.exe").c_str(), path.c_str(), FALSE);
        StartOptions options;
        options.arguments = "60";
        Process process;
        EXPECT_TRUE(startProcess(path, options, &process)) << name;
        return process;
    }

    // The window helper; returns once all its windows exist.
    Process startWindows(const std::string& arguments)
    {
        StartOptions options;
        options.arguments = arguments + " -t 60";
        Process process;
        EXPECT_TRUE(startProcess(binPath("scanwindows.exe"), options, &process));
        const std::string ready = "scanwindows ready " + std::to_string(process.id);
        EXPECT_TRUE(waitUntil([&] { return FindWindowA(nullptr, ready.c_str()) != nullptr; }, 15000));
        return process;
    }

    void tick() { EXPECT_TRUE(postMessage(instance_.mainWindow, WM_TIMER, TIMER_WATCH_SCAN, 0)); }

    DWORD storedEnable()
    {
        DWORD value = 99;
        readDword(HKEY_CURRENT_USER, kSettingsKey, "Enable", &value);
        return value;
    }

    // Fires one tick and waits for the stored Enable value.
    bool tickUntilEnable(DWORD value, DWORD ms = 5000)
    {
        tick();
        return waitUntil([&] { return storedEnable() == value; }, ms);
    }

    bool waitBalloon(const std::string& text, DWORD ms = 5000)
    {
        return tray_.waitFor([&](const TrayEvent& event) { return isBalloon(event, text); }, ms);
    }

    int balloonCount()
    {
        int count = 0;
        for (const TrayEvent& event : tray_.events())
            count += event.message == NIM_MODIFY && (event.flags & NIF_INFO) ? 1 : 0;
        return count;
    }

    // Lets a few ticks of the program's own timer run and the posted one too.
    void settle()
    {
        tick();
        pumpMessages(2500);
    }

    FakeTray tray_;
    Instance instance_;
};

TEST_F(ScanSystem, WatchedProgramSwitchesTheFunctionOffAndBackOn)
{
    writeFile("FileList.txt", "notepad.exe\r\n");
    startProgram();
    settle();
    EXPECT_EQ(storedEnable(), 1u);
    EXPECT_EQ(balloonCount(), 0) << "nothing found, nothing found before: no balloon";

    Process notepad = startAs("notepad.exe");
    ASSERT_TRUE(tickUntilEnable(0));
    EXPECT_TRUE(tray_.waitFor([](const TrayEvent& event) { return isIcon(event, 3); }, 5000));
    EXPECT_TRUE(waitBalloon(std::string(kProgramHeader) + "\n    notepad.exe"));

    killProcess(notepad);
    ASSERT_TRUE(tickUntilEnable(1));
    EXPECT_TRUE(tray_.waitFor([](const TrayEvent& event) { return isIcon(event, 2); }, 5000));
    EXPECT_TRUE(waitBalloon(kNothingFound));
}

TEST_F(ScanSystem, FunctionSwitchedOffByTheUserStaysOff)
{
    writeFile("FileList.txt", "notepad.exe\r\n");
    startProgram();
    Process notepad = startAs("notepad.exe");
    ASSERT_TRUE(tickUntilEnable(0));
    // The user switches it off as well, from the tray menu.
    ASSERT_TRUE(sendMessage(instance_.mainWindow, WM_COMMAND, IDM_FUNCTION_OFF, 0));
    DWORD offCheck = 0;
    EXPECT_TRUE(readDword(HKEY_CURRENT_USER, kSettingsKey, "OffCheck", &offCheck));
    EXPECT_EQ(offCheck, 1u);
    killProcess(notepad);
    ASSERT_TRUE(waitBalloon(kNothingFound));
    settle();
    EXPECT_EQ(storedEnable(), 0u);
}

TEST_F(ScanSystem, SameProgramRunningTwiceIsReportedOnce)
{
    writeFile("FileList.txt", "notepad.exe\r\n");
    startProgram();
    startAs("notepad.exe");
    startAs("notepad.exe");
    ASSERT_TRUE(tickUntilEnable(0));
    EXPECT_TRUE(waitBalloon(std::string(kProgramHeader) + "\n    notepad.exe"));
    settle();
    EXPECT_EQ(balloonCount(), 1);
}

TEST_F(ScanSystem, ReservedEntriesNeverMatchButLaterOnesDo)
{
    // The program itself runs as Somnivar.exe; Wine has no "System" process, so a helper takes
    // that name.
    writeFile("FileList.txt", "System\r\nSomnivar.exe\r\n[System Process]\r\nSomniv*\r\nSyst?m\r\nnotepad.exe\r\n");
    startProgram();
    startAs("System");
    settle();
    EXPECT_EQ(storedEnable(), 1u);
    EXPECT_EQ(balloonCount(), 0);
    startAs("notepad.exe");
    ASSERT_TRUE(tickUntilEnable(0));
    EXPECT_TRUE(waitBalloon(std::string(kProgramHeader) + "\n    notepad.exe"));
}

TEST_F(ScanSystem, ProgramsOwnWindowsNeverSatisfyATitleEntry)
{
    // Entries that only the program's own windows would match: the main window and the settings
    // dialog.
    writeFile("TitleList.txt", "Somnivar\r\nSomnivar*\r\n*の設定\r\n");
    startProgram(true);
    ASSERT_TRUE(postMessage(instance_.mainWindow, WM_COMMAND, IDM_SETTINGS, 0));
    ASSERT_TRUE(waitUntil([&] { return findProcessWindow(instance_.process.id, "#32770", "Somnivar の設定") != nullptr; },
                          10000));
    settle();
    EXPECT_EQ(storedEnable(), 1u);
    EXPECT_EQ(balloonCount(), 0);
}

TEST_F(ScanSystem, SingleStarTitleListsEveryTitleButTheProgramsOwn)
{
    writeFile("TitleList.txt", "*\r\n");
    startProgram(true);
    ASSERT_TRUE(postMessage(instance_.mainWindow, WM_COMMAND, IDM_SETTINGS, 0));
    ASSERT_TRUE(waitUntil([&] { return findProcessWindow(instance_.process.id, "#32770", "Somnivar の設定") != nullptr; },
                          10000));
    // A single star is found by whatever other titled window exists (Wine's input-method windows
    // included), and the report names that window, never one of the program's own.
    startWindows("\"Another window\"");
    ASSERT_TRUE(tickUntilEnable(0));
    TrayEvent balloon;
    ASSERT_TRUE(tray_.waitFor([](const TrayEvent& event) { return (event.flags & NIF_INFO) != 0; }, 5000, &balloon));
    EXPECT_EQ(balloon.balloonText.rfind("・監視タイトル名\n    ", 0), 0u) << toUtf8(balloon.balloonText);
    for (const char* own : {"    Somnivar\n", "    Somnivar の設定", "    監視タイトルの追加・削除"})
        EXPECT_EQ((balloon.balloonText + "\n").find(own), std::string::npos) << toUtf8(balloon.balloonText);
}

TEST_F(ScanSystem, JapaneseTitleFromAFileOfWindows)
{
    writeFile("TitleList.txt", "メモ帳*\r\n");
    writeFile("titles.txt", "無題 - メモ帳\r\nメモ帳 - 日本語.txt\r\n");
    startProgram(true);
    startWindows("-f titles.txt");
    ASSERT_TRUE(tickUntilEnable(0));
    EXPECT_TRUE(waitBalloon("・監視タイトル名\n    メモ帳 - 日本語.txt"));
}

TEST_F(ScanSystem, EditedListTakesEffectAtTheNextTick)
{
    writeFile("FileList.txt", "calc.exe\r\n");
    startProgram();
    startAs("notepad.exe");
    settle();
    EXPECT_EQ(storedEnable(), 1u);
    writeFile("FileList.txt", "calc.exe\r\nnotepad.exe\r\n");
    // Make sure the time differs even on a coarse file-system clock.
    HANDLE file = CreateFileA("FileList.txt", FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written;
    GetFileTime(file, nullptr, nullptr, &written);
    written.dwHighDateTime += 1;
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    ASSERT_TRUE(tickUntilEnable(0));
}

TEST_F(ScanSystem, ListTimeSetBackReloadsIt)
{
    writeFile("FileList.txt", "calc.exe\r\n");
    startProgram();
    startAs("notepad.exe");
    settle();
    // New content under an older time than the one loaded: still a change.
    HANDLE file = CreateFileA("FileList.txt", GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written;
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    writeFile("FileList.txt", "notepad.exe\r\n");
    file = CreateFileA("FileList.txt", FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    written.dwHighDateTime -= 1;
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    ASSERT_TRUE(tickUntilEnable(0));
}

TEST_F(ScanSystem, ListHeldOpenAbandonsTheTick)
{
    writeFile("FileList.txt", "notepad.exe\r\n");
    startProgram();
    Process notepad = startAs("notepad.exe");
    ASSERT_TRUE(tickUntilEnable(0));
    ASSERT_TRUE(waitBalloon(std::string(kProgramHeader) + "\n    notepad.exe"));
    // Held without sharing: every tick is abandoned, so the end of the program goes unnoticed.
    HANDLE held = CreateFileA("FileList.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    killProcess(notepad);
    settle();
    EXPECT_EQ(storedEnable(), 0u);
    EXPECT_EQ(balloonCount(), 1);
    CloseHandle(held);
    ASSERT_TRUE(tickUntilEnable(1));
    EXPECT_TRUE(waitBalloon(kNothingFound));
}

TEST_F(ScanSystem, ShowStatusCommandRepeatsTheBalloon)
{
    writeFile("FileList.txt", "notepad.exe\r\n");
    startProgram();
    startAs("notepad.exe");
    ASSERT_TRUE(tickUntilEnable(0));
    const std::string text = std::string(kProgramHeader) + "\n    notepad.exe";
    ASSERT_TRUE(waitBalloon(text));
    tray_.clear();
    ASSERT_TRUE(postMessage(instance_.mainWindow, WM_COMMAND, IDM_SHOW_WATCH_STATUS, 0));
    tick();
    EXPECT_TRUE(waitBalloon(text));
}
