// The harness's own promises: the stand-in tray is the one Wine reports to and decodes the
// calls faithfully, the per-program Wine version reaches a 64-bit program, and the registry
// helpers see the prefix as the programs do.
#include "harness/harness.h"

#include <shellapi.h>

using namespace harness;

class HarnessTest : public SomnivarTest {};

TEST_F(HarnessTest, FakeTrayReceivesNotifyCallsAndTellsIconsApart)
{
    FakeTray tray;
    ASSERT_TRUE(tray.start());
    // Wine looks the tray up by class; ours must come first, above Wine's own.
    EXPECT_EQ(FindWindowA("Shell_TrayWnd", nullptr), tray.window());

    Process probe;
    ASSERT_TRUE(startProcess(binPath("tray_probe.exe"), StartOptions(), &probe));
    DWORD exitCode = 0;
    ASSERT_TRUE(waitProcessExit(probe, 15000, &exitCode));
    EXPECT_EQ(exitCode, 7u) << "bit 0 add, bit 1 modify, bit 2 delete";

    const std::vector<TrayEvent> events = tray.events();
    ASSERT_EQ(events.size(), 3u);
    const TrayEvent& add = events[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.id, 123u);
    EXPECT_EQ(add.flags, static_cast<UINT>(NIF_ICON | NIF_TIP | NIF_MESSAGE));
    EXPECT_EQ(add.callbackMessage, 32868u);
    EXPECT_EQ(add.tip, "Somnivar 自動サスペンド 有効");
    EXPECT_EQ(add.iconResource, 2);
    EXPECT_EQ(add.processId, probe.id);
    EXPECT_NE(add.window, nullptr);

    const TrayEvent& modify = events[1];
    EXPECT_EQ(modify.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(modify.iconResource, 3);
    EXPECT_EQ(modify.balloonText, "サスペンドエラーメッセージは、ここに表示されます");
    EXPECT_EQ(modify.balloonTitle, "Somnivar");
    EXPECT_EQ(modify.balloonFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(modify.window, add.window);

    EXPECT_EQ(events[2].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(events[2].id, 123u);
}

TEST_F(HarnessTest, WineVersionPerProgramReachesA64BitProgram)
{
    DWORD exitCode = 0;
    Process probe;
    setWineVersionFor("platform_probe.exe", "win98");
    ASSERT_TRUE(startProcess(binPath("platform_probe.exe"), StartOptions(), &probe));
    ASSERT_TRUE(waitProcessExit(probe, 15000, &exitCode));
    EXPECT_EQ(exitCode, 10410u) << "platform id 1, version 4.10";

    setWineVersionFor("platform_probe.exe", "winxp");
    ASSERT_TRUE(startProcess(binPath("platform_probe.exe"), StartOptions(), &probe));
    ASSERT_TRUE(waitProcessExit(probe, 15000, &exitCode));
    EXPECT_EQ(exitCode, 20501u);

    setWineVersionFor("platform_probe.exe", nullptr);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\platform_probe.exe"));
    // The tests themselves stay on the NT family whatever a program is given.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
}

TEST_F(HarnessTest, RegistryHelpersRoundTripAndDeleteWholeTrees)
{
    const char* key = "Software\\Orlenby\\Somnivar";
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, key, "Time", 10));
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, key, "Enable", 1));
    ASSERT_TRUE(writeString(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar\\Deeper", "Text", "テキスト"));
    DWORD value = 0;
    EXPECT_TRUE(readDword(HKEY_CURRENT_USER, key, "Time", &value));
    EXPECT_EQ(value, 10u);
    EXPECT_FALSE(readDword(HKEY_CURRENT_USER, key, "Missing", &value));
    std::string text;
    EXPECT_TRUE(readString(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar\\Deeper", "Text", &text));
    EXPECT_EQ(text, "テキスト");
    // Wine keeps a key's values sorted by name and enumerates them so, whatever the order in
    // which they were written (Windows enumerates in creation order).
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, key), (std::vector<std::string>{"Enable", "Time"}));

    EXPECT_TRUE(deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Orlenby"));
    EXPECT_TRUE(deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby")) << "absent counts as deleted";
}

TEST_F(HarnessTest, ProcessesOfATestDoNotOutliveIt)
{
    Process first;
    ASSERT_TRUE(startProcess(binPath("fake_instance.exe"), StartOptions(), &first));
    ASSERT_TRUE(waitUntil([&] { return findProcessWindow(first.id, "Somnivar", "Somnivar") != nullptr; }, 10000));
    killStartedProcesses();
    EXPECT_EQ(findSomnivarWindow(), nullptr);
}
