// The unpacked x64 package, started from its own folder as a user starts it. Runs only when
// SOMNIVAR_PACKAGE_DIR names that folder (the package step of tools/test.sh sets it).
#include <cstdlib>
#include "harness/harness.h"

using namespace harness;

class Package : public SomnivarTest {};

TEST_F(Package, UnpackedCopyAddsItsIconAndEndsCleanly)
{
    const char* folder = std::getenv("SOMNIVAR_PACKAGE_DIR");
    if (!folder)
        GTEST_SKIP() << "SOMNIVAR_PACKAGE_DIR is not set";
    FakeTray tray;
    ASSERT_TRUE(tray.start());
    Process program;  // a first start, as after unpacking: the settings dialog opens as well
    ASSERT_TRUE(startProcess(std::string(folder) + "\\Somnivar.exe", StartOptions{"", folder}, &program));
    auto icon = [&](DWORD code) {
        return [&, code](const TrayEvent& e) { return e.message == code && e.processId == program.id; };
    };
    ASSERT_TRUE(tray.waitFor(icon(NIM_ADD), 15000)) << "no tray icon";

    HWND mainWindow = findProcessWindow(program.id, "Somnivar", "Somnivar");
    ASSERT_TRUE(postMessage(mainWindow, WM_CLOSE, 0, 0));
    DWORD exitCode = 99;
    ASSERT_TRUE(waitProcessExit(program, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(tray.waitFor(icon(NIM_DELETE), 1000)) << "the icon stayed";
}
