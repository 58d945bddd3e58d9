// The command line and its hand-off to a running instance, and the shutdown.
#include "harness/harness.h"
#include <commctrl.h>
#include <shellapi.h>

#include "hooklib/vantrel.h"

using namespace harness;

class Startup : public SomnivarTest {
protected:
    // A second start with arguments shows the already-running box owned by owner and ends with 0.
    void expectAlreadyRunning(const char* arguments, HWND owner)
    {
        SCOPED_TRACE(arguments);
        Process second;
        Box box;
        ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {arguments}, &second));
        ASSERT_TRUE(waitMessageBox("Somnivar", 15000, &box, second.id));
        EXPECT_EQ(box.text, "Somnivar は既に起動されています。");
        EXPECT_EQ(box.owner, owner);
        pressButton(box, IDOK);
        DWORD exitCode = 99;
        ASSERT_TRUE(waitProcessExit(second, 10000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
};

// A stand-in instance logs what reaches it; command 7 takes it 300 ms, so a sender that only
// posted would be gone before the "end" line exists.
TEST_F(Startup, OptionsReachTheRunningInstanceAndEverythingElseIsASecondStart)
{
    Process fake;
    ASSERT_TRUE(startProcess(binPath("helper.exe"), {"instance"}, &fake));
    HWND fakeWindow = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (fakeWindow = findProcessWindow(fake.id, "Somnivar", "Somnivar")) != nullptr; }, 10000));
    // Not a two-character option, or one that hands nothing over; -H without Readme.txt too.
    for (const char* arguments : {"-Hx", "/S", "S", "-M", "-Q", "-H"})
        expectAlreadyRunning(arguments, fakeWindow);
    EXPECT_EQ(readFile("commands.txt"), "");

    writeFile("Readme.txt", "Somnivar\r\n");
    const std::pair<const char*, const char*> cases[] = {
        {"-S", "7 264"}, {"-s", "7 264"}, {"-L", "7 263"}, {"-l", "7 263"}, {"-X", "7 258"}, {"-x", "7 258"},
        {"-H", "261 0"}, {"-?", "261 0"}, {"/x -M -Hx -L -S", "7 263"}};  // only the first that finds it
    for (const auto& [option, command] : cases) {
        SCOPED_TRACE(option);
        DeleteFileA("commands.txt");
        DWORD exitCode = 99;
        ASSERT_TRUE(runSomnivar(option, 15000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(readFile("commands.txt"), std::string(command) + " begin\n" + command + " end\n");
    }
    EXPECT_TRUE(openDialogs().empty());
}

TEST_F(Startup, SecondStartLeavesTheFirstAndCloseEndsWithZeroAndNoHookBehind)
{
    Instance first;
    ASSERT_TRUE(startSomnivar("", &first));
    expectAlreadyRunning("", first.mainWindow);
    EXPECT_EQ(findSomnivarWindow(), first.mainWindow);
    ASSERT_TRUE(postMessage(first.mainWindow, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    ASSERT_TRUE(waitProcessExit(first.process, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    ASSERT_NE(SetHook(), 0) << "the program left its hooks installed";
    FreeHook();
}

// A quit that arrives while start-up is held on the hot-key failure box (the test took the key
// first) still runs the whole shutdown, which removes the icon.
TEST_F(Startup, QuitQueuedDuringStartUpStillRunsTheFullShutdown)
{
    ASSERT_TRUE(storeSettings({{"HotKeyCode", (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | 'Q'}}));
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x5A5A, MOD_CONTROL | MOD_ALT, 'Q'));
    FakeTray tray;
    ASSERT_TRUE(tray.start());
    Process program;
    Box box;
    ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {}, &program));
    const bool held = waitMessageBox("Somnivar - Error", 8000, &box, program.id);
    UnregisterHotKey(nullptr, 0x5A5A);
    ASSERT_TRUE(held);
    EXPECT_EQ(box.text, "ホットキーの設定ができませんでした");
    HWND mainWindow = findProcessWindow(program.id, "Somnivar", "Somnivar");
    ASSERT_TRUE(PostThreadMessageA(GetWindowThreadProcessId(mainWindow, nullptr), WM_QUIT, 0, 0));
    pressButton(box, IDOK);
    DWORD exitCode = 99;
    ASSERT_TRUE(waitProcessExit(program, 10000, &exitCode)) << "the quit was lost";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(tray.waitFor([&](const TrayEvent& e) { return e.message == NIM_DELETE && e.id == 123; }, 1000));
}
