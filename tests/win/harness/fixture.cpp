// Per-test isolation for system tests, and the watchdog that keeps one stuck test from
// hanging the whole run.
#include "harness/harness.h"
#include "harness/internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace harness {

namespace {

constexpr DWORD kDefaultTimeLimit = 120000;
// After the watchdog killed a stuck test's processes the test gets this long to come back;
// then the run is aborted rather than left hanging.
constexpr DWORD kAbortGrace = 30000;

struct Watchdog {
    HANDLE thread = nullptr;
    HANDLE wake = nullptr;  // set when the deadline moved or the test ended
    volatile LONG deadline = 0;
    volatile LONG finished = 0;
    volatile LONG fired = 0;
    std::string testName;
};

Watchdog watchdog;

DWORD WINAPI watchdogRun(void*)
{
    for (;;) {
        if (watchdog.finished)
            return 0;
        const LONG left = watchdog.deadline - static_cast<LONG>(GetTickCount());
        if (left <= 0)
            break;
        WaitForSingleObject(watchdog.wake, static_cast<DWORD>(left));
    }
    watchdog.fired = 1;
    std::fprintf(stderr, "[watchdog] %s ran over its time limit: ending the programs it started\n",
                 watchdog.testName.c_str());
    std::fflush(stderr);
    killStartedProcessesNow();
    if (WaitForSingleObject(watchdog.wake, kAbortGrace) == WAIT_OBJECT_0 && watchdog.finished)
        return 0;
    while (!watchdog.finished) {
        std::fprintf(stderr, "[watchdog] %s still does not return: aborting the run\n", watchdog.testName.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

void startWatchdog(const std::string& testName, DWORD limit)
{
    watchdog.testName = testName;
    watchdog.finished = 0;
    watchdog.fired = 0;
    watchdog.deadline = static_cast<LONG>(GetTickCount() + limit);
    watchdog.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    watchdog.thread = CreateThread(nullptr, 0, watchdogRun, nullptr, 0, nullptr);
}

// Returns whether it fired.
bool stopWatchdog()
{
    watchdog.finished = 1;
    if (watchdog.wake)
        SetEvent(watchdog.wake);
    if (watchdog.thread) {
        WaitForSingleObject(watchdog.thread, INFINITE);
        CloseHandle(watchdog.thread);
    }
    if (watchdog.wake)
        CloseHandle(watchdog.wake);
    watchdog.thread = nullptr;
    watchdog.wake = nullptr;
    return watchdog.fired != 0;
}

std::string currentDirectory()
{
    char path[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof(path), path);
    return std::string(path, length < sizeof(path) ? length : 0);
}

void emptyDirectory(const std::string& directory)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = directory + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            emptyDirectory(path);
            RemoveDirectoryA(path.c_str());
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string safeName(std::string name)
{
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            c = '_';
    }
    return name;
}

// Every window of class and title "Somnivar" outside this process: real instances and the
// fake instance the command-line tests use.
void endRunningInstances()
{
    killProcessesByName("Somnivar.exe");
    killProcessesByName("fake_instance.exe");
    for (int round = 0; round < 5; ++round) {
        HWND window = findSomnivarWindow();
        DWORD owner = 0;
        if (window)
            GetWindowThreadProcessId(window, &owner);
        if (!window || owner == GetCurrentProcessId())
            break;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, owner);
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    waitUntil(
        [] {
            HWND window = findSomnivarWindow();
            DWORD owner = 0;
            if (window)
                GetWindowThreadProcessId(window, &owner);
            return !window || owner == GetCurrentProcessId();
        },
        5000);
}

bool belongsToTest(DWORD processId, const std::vector<DWORD>& started, const std::vector<DWORD>& somnivars)
{
    return std::find(started.begin(), started.end(), processId) != started.end() ||
           std::find(somnivars.begin(), somnivars.end(), processId) != somnivars.end();
}

// ---- The run guard: whatever kind of test hangs (in-process ones too, which have no
// watchdog of their own), the run ends with its name instead of running into ctest's limit.
DWORD runGuardLimit = 180000;  // SOMNIVAR_RUN_GUARD_SECONDS changes it
volatile LONG guardDeadline = 0;  // 0: no test running
std::string guardedTest;
CRITICAL_SECTION guardLock;

DWORD WINAPI runGuard(void*)
{
    for (;;) {
        Sleep(1000);
        EnterCriticalSection(&guardLock);
        const LONG deadline = guardDeadline;
        const std::string name = guardedTest;
        LeaveCriticalSection(&guardLock);
        if (deadline == 0 || deadline - static_cast<LONG>(GetTickCount()) > 0)
            continue;
        std::fprintf(stderr, "\n[run guard] %s still runs after its time limit: aborting the run\n", name.c_str());
        std::fflush(stderr);
        std::fflush(stdout);
        killStartedProcessesNow();
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

void extendRunGuard(DWORD ms)
{
    const LONG wanted = static_cast<LONG>(GetTickCount() + ms);
    EnterCriticalSection(&guardLock);
    if (guardDeadline != 0 && wanted - guardDeadline > 0)
        guardDeadline = wanted;
    LeaveCriticalSection(&guardLock);
}

class RunGuardListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        EnterCriticalSection(&guardLock);
        guardedTest = std::string(info.test_suite_name()) + "." + info.name();
        guardDeadline = static_cast<LONG>(GetTickCount() + runGuardLimit) | 1;
        LeaveCriticalSection(&guardLock);
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        EnterCriticalSection(&guardLock);
        guardDeadline = 0;
        LeaveCriticalSection(&guardLock);
    }
};

} // namespace

void installRunGuard()
{
    char seconds[16];
    if (GetEnvironmentVariableA("SOMNIVAR_RUN_GUARD_SECONDS", seconds, sizeof(seconds)) > 0 && atoi(seconds) > 0)
        runGuardLimit = static_cast<DWORD>(atoi(seconds)) * 1000;
    InitializeCriticalSection(&guardLock);
    ::testing::UnitTest::GetInstance()->listeners().Append(new RunGuardListener);
    CloseHandle(CreateThread(nullptr, 0, runGuard, nullptr, 0, nullptr));
}

void SomnivarTest::SetUp()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    startWatchdog(name, kDefaultTimeLimit);

    previousDirectory_ = currentDirectory();
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof(temp), temp);
    std::string root = std::string(temp, length < sizeof(temp) ? length : 0) + "somnivar-tests";
    CreateDirectoryA(root.c_str(), nullptr);
    workDirectory_ = root + "\\" + safeName(name);
    CreateDirectoryA(workDirectory_.c_str(), nullptr);
    emptyDirectory(workDirectory_);
    ASSERT_TRUE(SetCurrentDirectoryA(workDirectory_.c_str())) << workDirectory_;

    endRunningInstances();
    ASSERT_TRUE(deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby"));
    setWineVersion(nullptr);
}

void SomnivarTest::TearDown()
{
    const std::vector<DWORD> started = startedProcessIds();
    const std::vector<DWORD> somnivars = processIdsByName("Somnivar.exe");
    for (const Box& box : openDialogs()) {
        if (!belongsToTest(box.processId, started, somnivars))
            continue;
        // Message boxes are what a test must answer; a modeless window of the program (the
        // settings dialog of a first run, say) may stay open and simply goes with its process.
        if (isMessageBox(box.window) && !boxesExpected_)
            ADD_FAILURE() << "unexpected message box \"" << toUtf8(box.caption) << "\": \"" << toUtf8(box.text)
                           << "\"";
        if (!pressButton(box, IDOK) && !pressButton(box, IDCANCEL))
            PostMessageA(box.window, WM_CLOSE, 0, 0);
    }
    killStartedProcesses();
    endRunningInstances();
    if (stopWatchdog())
        ADD_FAILURE() << "the test ran over its time limit; the watchdog ended its programs";
    if (!previousDirectory_.empty())
        SetCurrentDirectoryA(previousDirectory_.c_str());
}

void SomnivarTest::writeFile(const char* name, const std::string& bytes)
{
    const std::string path = workDirectory_ + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << path;
}

void SomnivarTest::setTimeLimit(DWORD ms)
{
    // The run guard must leave this test's own watchdog the time to act first.
    extendRunGuard(ms + 60000);
    watchdog.deadline = static_cast<LONG>(GetTickCount() + ms);
    if (watchdog.wake)
        SetEvent(watchdog.wake);
}

} // namespace harness
