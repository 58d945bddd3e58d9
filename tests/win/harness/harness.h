// Windows-side test harness: starts Somnivar.exe and helper programs, finds and answers
// message boxes, drives the registry of the test prefix, and stands in for the notification
// area. Every wait takes a time limit in milliseconds and returns false when it runs out.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

// ---- Paths
std::string binDirectory();                 // folder of win_tests.exe, Somnivar.exe and the stand-ins
std::string binPath(const char* fileName);  // binDirectory() + "\\" + fileName

// ---- Waiting
// Polls condition every 10 ms (pumping this thread's messages) until it holds or ms pass.
bool waitUntil(const std::function<bool()>& condition, DWORD ms);
// Pumps this thread's message queue for ms milliseconds.
void pumpMessages(DWORD ms);

// ---- Programs
struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};
struct StartOptions {
    std::string arguments;           // command line after the program name
    std::string workingDirectory;    // default: the current test's directory
    std::vector<std::string> environment;  // extra NAME=VALUE entries (added to ours)
    bool powerStandIn = true;        // select the stand-in powrprof.dll (WINEDLLOVERRIDES)
};
// Starts a program by path (retrying a failed start a few times, as Wine sometimes fails one
// under load). The process is remembered and killed at the end of the test if still running.
// The harness owns the handle; it stays valid until the test ends.
bool startProcess(const std::string& path, const StartOptions& options, Process* process);
// Waits for the process to end; exitCode may be null.
bool waitProcessExit(const Process& process, DWORD ms, DWORD* exitCode);
void killProcess(Process& process);
// True while the process has not ended.
bool processRunning(const Process& process);
// Ends every process started since the last call (the fixture calls it after each test).
void killStartedProcesses();
// Ends every process with this executable name (case-insensitive), except this one, and waits
// for them to be gone. Returns how many were found.
int killProcessesByName(const char* exeName);

// Starts Somnivar.exe and waits for its main window (class and title "Somnivar") in that process.
struct Instance {
    Process process;
    HWND mainWindow = nullptr;
};
bool startSomnivar(const StartOptions& options, Instance* instance, DWORD ms = 15000);
bool startSomnivar(const char* arguments, Instance* instance, DWORD ms = 15000);
// Runs Somnivar.exe with arguments and waits for it to end. Returns false on time-out (the
// process is then killed).
bool runSomnivar(const char* arguments, DWORD ms, DWORD* exitCode);
// Asks an instance to end (WM_CLOSE) and waits; kills it after ms. True when it ended by itself.
bool stopSomnivar(Instance& instance, DWORD ms = 10000);
// The main window of any running Somnivar, or null.
HWND findSomnivarWindow();
// A top-level window of this class and title that belongs to the process (hidden ones too).
HWND findProcessWindow(DWORD processId, const char* className, const char* title);

// ---- Messages to other processes. Never SendMessage a window of another process without a
// time limit: a stuck instance must fail a test, not hang the run.
bool sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr,
                 DWORD ms = 5000);
bool postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Waits until the window no longer exists.
bool waitWindowGone(HWND window, DWORD ms);

// ---- Message boxes and dialogs of other processes
struct Box {
    HWND window = nullptr;
    HWND owner = nullptr;
    DWORD processId = 0;
    std::string caption;   // code page 932 bytes
    std::string text;      // the static text of the box
};
// Waits for a top-level dialog (class "#32770") with this caption, optionally of one process.
bool waitMessageBox(const char* caption, DWORD ms, Box* box, DWORD processId = 0);
// Clicks a button of a box (IDOK, IDYES, IDNO, IDCANCEL...). False when it has no such button.
bool pressButton(const Box& box, int buttonId);
// All visible "#32770" windows of a process (0 = any process).
std::vector<Box> openDialogs(DWORD processId = 0);
// True when the dialog is a message box (it has the message-box text control).
bool isMessageBox(HWND dialog);

// ---- Registry (the prefix's real registry)
bool deleteKeyTree(HKEY root, const char* path);  // true when the key is gone afterwards
bool keyExists(HKEY root, const char* path);
bool readDword(HKEY root, const char* path, const char* name, DWORD* value);
bool writeDword(HKEY root, const char* path, const char* name, DWORD value);
bool readString(HKEY root, const char* path, const char* name, std::string* value);
bool writeString(HKEY root, const char* path, const char* name, const char* value);
bool valueExists(HKEY root, const char* path, const char* name);
std::vector<std::string> valueNames(HKEY root, const char* path);  // in enumeration order
// Stores all seventeen settings of the program, at their defaults except the overrides
// ({"HotKeyCode", 0x651}, ...), so that the program starts as on any later run: no first-run
// settings dialog, and no value missing (a missing one makes the program rewrite the key).
bool storeSettings(const std::vector<std::pair<const char*, DWORD>>& overrides = {});
// Platform family as Wine reports it to Somnivar.exe: "win98" or "winxp" (null: unset).
void setWineVersion(const char* version);
// The same for any program, by executable name ("tray_probe.exe").
void setWineVersionFor(const char* exeName, const char* version);

// ---- Files and texts
std::string readFile(const std::string& path);  // whole file, "" when missing
// Code page 932 bytes as UTF-8, for readable failure messages on the Linux console.
std::string toUtf8(const std::string& cp932);

// ---- Stand-in notification area: a window of class "Shell_TrayWnd" on its own thread that
// decodes every Shell_NotifyIcon call Wine forwards to it.
struct TrayEvent {
    DWORD message = 0;        // NIM_ADD, NIM_MODIFY, NIM_DELETE, ...
    HWND window = nullptr;    // the icon's owner window
    UINT id = 0;
    UINT flags = 0;
    UINT callbackMessage = 0;
    std::string tip;          // code page 932
    std::string balloonText;  // code page 932
    std::string balloonTitle; // code page 932
    DWORD balloonFlags = 0;   // NIIF_INFO 1, NIIF_WARNING 2, NIIF_ERROR 3
    int iconResource = 0;     // 1, 2 or 3 when the icon's bits match one of Somnivar's icons, else 0
    DWORD processId = 0;      // process of the owner window when the call arrived
    UINT timeout = 0;         // balloon time-out (or version for NIM_SETVERSION)
};
class FakeTray {
public:
    bool start();             // creates the window; false when it cannot
    void stop();
    std::vector<TrayEvent> events();
    void clear();
    // Waits for an event that satisfies the predicate (among all recorded so far).
    bool waitFor(const std::function<bool(const TrayEvent&)>& predicate, DWORD ms, TrayEvent* found = nullptr);
    HWND window() const;      // the stand-in's window (null when not started)
    ~FakeTray() { stop(); }
private:
    struct Impl;
    Impl* impl_ = nullptr;
};

// ---- Whole run: installed by main. A test of any kind that runs 180 s (or a SomnivarTest
// 60 s past its own limit) ends the run with its name rather than hanging it.
void installRunGuard();

// ---- Per-test isolation. Derive system tests from this fixture: each test gets a fresh
// working directory (the current directory during the test), a clean settings key, no
// Somnivar running, the Wine version reset; afterwards any unexpected message box fails the
// test and is closed, and every process the test started is ended. A test that runs longer
// than its time limit (120 s unless changed) has its processes killed and fails.
class SomnivarTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    const std::string& workDirectory() const { return workDirectory_; }
    // Writes a file into the working directory.
    void writeFile(const char* name, const std::string& bytes);
    // Call when a test expects to leave a box open for the harness to close silently.
    void expectBoxesLeftOpen() { boxesExpected_ = true; }
    // Changes this test's time limit, counted from now.
    void setTimeLimit(DWORD ms);
private:
    std::string workDirectory_;
    std::string previousDirectory_;
    bool boxesExpected_ = false;
};

}  // namespace harness
