// Windows-side test harness: starts Somnivar.exe and the helper, finds and answers message boxes,
// drives the prefix's registry and stands in for the notification area. Every wait takes a time
// limit in milliseconds and returns false when it runs out.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/win/standins.h"

namespace harness {

std::string binPath(const char* fileName);  // beside win_tests.exe
bool waitUntil(const std::function<bool()>& condition, DWORD ms);  // pumps this thread's messages
void pumpMessages(DWORD ms);

// ---- Programs. Every process started is killed at the end of the test if still running.
struct Process { HANDLE handle = nullptr; DWORD id = 0; };
struct StartOptions { std::string arguments, workingDirectory; };  // default directory: the test's
bool startProcess(const std::string& path, const StartOptions& options, Process* process);
inline bool processRunning(const Process& p) { return p.handle && WaitForSingleObject(p.handle, 0) == WAIT_TIMEOUT; }
DWORD waitExitCode(const Process& process, DWORD ms);  // STILL_ACTIVE when it has not ended
void killProcess(Process& process);
struct Instance {
    Process process;
    HWND mainWindow = nullptr;  // class and title "Somnivar"
};
bool startSomnivar(const char* arguments, Instance* instance, DWORD ms = 15000);
bool stopSomnivar(Instance& instance, DWORD ms = 10000);  // WM_CLOSE; true when it ended
HWND findProcessWindow(DWORD processId, const char* className, const char* title);  // hidden ones too

// Never SendMessage another process's window without a time limit.
bool sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr,
                 DWORD ms = 5000);
inline bool postMessage(HWND w, UINT m, WPARAM wParam, LPARAM lParam) { return PostMessageA(w, m, wParam, lParam); }
inline bool waitWindowGone(HWND window, DWORD ms) { return waitUntil([&] { return !IsWindow(window); }, ms); }

// ---- Visible dialogs (class "#32770") of any process; texts are code page 932 bytes.
struct Box {
    HWND window = nullptr;
    HWND owner = nullptr;
    DWORD processId = 0;
    std::string caption, text;  // a message box's text, else the longest static text
};
std::vector<Box> openDialogs(DWORD processId = 0);
bool waitMessageBox(const char* caption, DWORD ms, Box* box, DWORD processId = 0);
bool pressButton(const Box& box, int buttonId);  // posted like a click

// ---- Registry of the prefix
bool deleteKeyTree(HKEY root, const char* path);  // true when gone afterwards
bool keyExists(HKEY root, const char* path);
bool writeDword(HKEY root, const char* path, const char* name, DWORD value);
bool writeValue(HKEY root, const char* path, const char* name, DWORD type, const std::string& data);  // any type
std::vector<std::string> valueNames(HKEY root, const char* path);  // Wine lists them sorted
// All seventeen settings at their defaults but the overrides ({"HotKeyCode", 0x651}, ...): no
// first-run dialog, and no missing value that would make the program rewrite the key.
using StoredValues = std::vector<std::pair<const char*, DWORD>>;
extern const StoredValues kStoredDefaults;
bool storeSettings(const StoredValues& overrides = {});
DWORD storedSetting(const char* name);  // 0xDEADBEEF when missing
void setWineVersion(const char* version);  // of Somnivar.exe: "win98", "winxp"; null: unset
// Copies a stand-in library into the prefix's system folder, the 32-bit one with wow64: the
// program loads its power library from there only.
bool installSystemLibrary(const std::string& source, const char* name, bool wow64 = false);

std::string readFile(const std::string& path);  // "" when missing
std::string toUtf8(const std::string& cp932);   // for failure messages
std::string failureText(DWORD error);          // the program's report of a failed power call

// ---- Stand-in notification area: a top-most "Shell_TrayWnd" that decodes every Shell_NotifyIcon
// call Wine forwards to it.
struct TrayEvent {
    DWORD message = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
    UINT flags = 0, timeout = 0;
    std::string tip, balloonText, balloonTitle;
    DWORD balloonFlags = 0, processId = 0;
};
class FakeTray {
public:
    bool start();
    void stop();
    std::vector<TrayEvent> events();
    void clear();
    bool waitFor(const std::function<bool(const TrayEvent&)>& predicate, DWORD ms, TrayEvent* found = nullptr);
    ~FakeTray() { stop(); }
private:
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
};

// ---- Power: the stand-ins' shared state (reset by every SomnivarTest) and import-table hooks.
inline standin::State& standIns() { return *standin::sharedState(); }
void* hookImport(const char* functionName, void* replacement);  // of this executable; returns the old one

// Each test gets a fresh working directory (also the current one), no Software\Orlenby, no
// Somnivar running, the power stand-in selected and reset, the Wine version unset. Afterwards an
// unanswered message box fails it and its processes end.
class SomnivarTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    const std::string& workDirectory() const { return workDirectory_; }
    void writeFile(const char* name, const std::string& bytes);
private:
    std::string workDirectory_, previousDirectory_;
};

}  // namespace harness
