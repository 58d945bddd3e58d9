// The released programs as a user starts them: the unpacked x64 package (when SOMNIVAR_PACKAGE_DIR
// names its folder) and the x86 build in a 32-bit process as the NT family and as Windows 98 (when
// SOMNIVAR_X86_DIR names its bin folder). tools/test.sh sets both.
#include <cstdlib>
#include "harness/harness.h"

using namespace harness;

namespace {

LONG monitorBroadcasts;  // the suspend's monitor commands, sent before and after the power call

LRESULT CALLBACK monitorWatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MONITORPOWER)
        return ++monitorBroadcasts, 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

class Released : public SomnivarTest {
protected:
    // Starts the program of the folder in the directory; between its icon's arrival and its close
    // runs `during`. It must end with 0 and take its icon along.
    void run(const char* folder, const std::string& directory, const std::function<void(HWND)>& during)
    {
        tray_.clear();
        Process program;
        ASSERT_TRUE(startProcess(std::string(folder) + "\\Somnivar.exe", {"", directory}, &program));
        auto fromProgram = [&](DWORD code) {
            return [&, code](const TrayEvent& e) { return e.message == code && e.processId == program.id; };
        };
        ASSERT_TRUE(tray_.waitFor(fromProgram(NIM_ADD), 15000)) << "no tray icon";
        HWND mainWindow = findProcessWindow(program.id, "Somnivar", "Somnivar");
        during(mainWindow);
        for (const TrayEvent& e : tray_.events())
            EXPECT_FALSE(e.processId == program.id && (e.flags & NIF_INFO) && e.balloonFlags == NIIF_ERROR)
                << e.balloonText;
        ASSERT_TRUE(postMessage(mainWindow, WM_CLOSE, 0, 0));
        EXPECT_EQ(waitExitCode(program, 10000), 0u);
        EXPECT_TRUE(tray_.waitFor(fromProgram(NIM_DELETE), 1000)) << "the icon stayed";
    }
    FakeTray tray_;
};

class Package : public Released {};
class X86Program : public Released {};

}  // namespace

TEST_F(Package, UnpackedCopyAddsItsIconAndEndsCleanly)
{
    const char* folder = std::getenv("SOMNIVAR_PACKAGE_DIR");
    if (!folder)
        GTEST_SKIP() << "SOMNIVAR_PACKAGE_DIR is not set";
    ASSERT_TRUE(tray_.start());
    run(folder, folder, [](HWND) {});  // a first start, as after unpacking: the settings dialog opens as well
}

TEST_F(X86Program, StartsSuspendsAtTheIdleExpiryAndEndsAsNtAndAs98)
{
    const char* folder = std::getenv("SOMNIVAR_X86_DIR");
    if (!folder)
        GTEST_SKIP() << "SOMNIVAR_X86_DIR is not set";
    ASSERT_TRUE(installSystemLibrary(std::string(folder) + "\\powrprof.dll", "powrprof.dll", true));
    ASSERT_TRUE(storeSettings() && tray_.start());
    WNDCLASSA watchClass = {0, monitorWatch, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "X86MonitorWatch"};
    RegisterClassA(&watchClass);
    HWND watch = CreateWindowExA(0, "X86MonitorWatch", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    // The NT family suspends through the stand-in power library, Windows 98 through the kernel.
    for (auto [version, powerLibraryCalls] : {std::pair{"win2k", 1}, std::pair{"win98", 0}}) {
        SCOPED_TRACE(version);
        setWineVersion(version);
        standIns().callCount = 0;
        monitorBroadcasts = 0;
        run(folder, workDirectory(), [&](HWND mainWindow) {
            ASSERT_TRUE(postMessage(mainWindow, WM_TIMER, 3, 0));  // the idle countdown runs out
            EXPECT_TRUE(waitUntil([] { return monitorBroadcasts >= 2; }, 10000)) << monitorBroadcasts;
            EXPECT_EQ(standIns().callCount, powerLibraryCalls);
            EXPECT_EQ(standIns().calls[0].hibernate, 0);
        });
    }
    DestroyWindow(watch);
}
