// The command line and its hand-off to a running instance, and the shutdown.
#include "harness/harness.h"
#include <commctrl.h>
#include <shellapi.h>

using namespace harness;

using Startup = SomnivarTest;

// A stand-in instance logs what reaches it; command 7 takes it 300 ms, so a sender that only
// posted would be gone before the "end" line exists. Anything that hands nothing over is a second
// start: a box owned by the instance, then exit code 0.
TEST_F(Startup, OptionsReachTheRunningInstanceAndEverythingElseIsASecondStart)
{
    Process fake;
    ASSERT_TRUE(startProcess(binPath("helper.exe"), {"instance"}, &fake));
    HWND fakeWindow = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (fakeWindow = findProcessWindow(fake.id, "Somnivar", "Somnivar")) != nullptr; }, 10000));
    // -H needs Readme.txt, written after the first six.
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"-Hx", ""}, {"/S", ""}, {"S", ""}, {"-M", ""}, {"-Q", ""}, {"-H", ""},
        {"-S", "7 264"}, {"-s", "7 264"}, {"-L", "7 263"}, {"-l", "7 263"}, {"-X", "7 258"}, {"-x", "7 258"},
        {"-H", "261 0"}, {"-?", "261 0"}, {"/x -M -Hx -L -S", "7 263"}};  // only the first that finds it
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [option, command] = cases[i];
        SCOPED_TRACE(option);
        if (i == 7)
            writeFile("Readme.txt", "Somnivar\r\n");
        DeleteFileA("commands.txt");
        Process second;
        Box box;
        ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {option}, &second));
        if (!command[0]) {
            ASSERT_TRUE(waitMessageBox("Somnivar", 15000, &box, second.id));
            EXPECT_EQ(box.text, "Somnivar は既に起動されています。");
            EXPECT_EQ(box.owner, fakeWindow);
            pressButton(box, IDOK);
        }
        DWORD exitCode = 99;
        ASSERT_TRUE(waitProcessExit(second, 15000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(readFile("commands.txt"), command[0] ? std::string(command) + " begin\n" + command + " end\n" : "");
    }
    EXPECT_TRUE(openDialogs().empty());
}

// The icon comes first, with the tip that shell 5 and later show uncut. A quit that arrives while
// start-up is held on the hot-key failure box (the test took the key first) still runs the whole
// shutdown, which removes the icon.
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
    TrayEvent added;
    ASSERT_TRUE(tray.waitFor([](const TrayEvent& e) { return e.message == NIM_ADD; }, 0, &added));
    EXPECT_EQ(added.tip, "Somnivar - S:ON O:CAN/10Min U:OFF E:OFF M:ON H:OFF P:OFF T:OFF");
    EXPECT_TRUE(added.iconResource == 2 && added.id == 123 && added.callbackMessage == 32868 && added.flags == 7);
    HWND mainWindow = findProcessWindow(program.id, "Somnivar", "Somnivar");
    EXPECT_EQ(box.owner, mainWindow);
    ASSERT_TRUE(PostThreadMessageA(GetWindowThreadProcessId(mainWindow, nullptr), WM_QUIT, 0, 0));
    pressButton(box, IDOK);
    DWORD exitCode = 99;
    ASSERT_TRUE(waitProcessExit(program, 10000, &exitCode)) << "the quit was lost";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(tray.waitFor([&](const TrayEvent& e) { return e.message == NIM_DELETE && e.id == 123; }, 1000));
}
