// Starting, watching and ending the programs a test runs, and the waits around them.
#include "harness/harness.h"
#include "harness/internal.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace harness {

namespace {

std::mutex startedMutex;
std::vector<Process> started;  // every process started since the last killStartedProcesses

constexpr int kStartAttempts = 5;

bool nameMatches(const std::string& entry, const std::string& name)
{
    const size_t equals = entry.find('=', 1);  // "=C:=C:\..." entries start with '='
    const std::string entryName = equals == std::string::npos ? entry : entry.substr(0, equals);
    return lstrcmpiA(entryName.c_str(), name.c_str()) == 0;
}

std::string variableName(const std::string& entry)
{
    const size_t equals = entry.find('=', 1);
    return equals == std::string::npos ? entry : entry.substr(0, equals);
}

void setVariable(std::vector<std::string>& variables, const std::string& entry)
{
    const std::string name = variableName(entry);
    for (std::string& existing : variables) {
        if (nameMatches(existing, name)) {
            existing = entry;
            return;
        }
    }
    variables.push_back(entry);
}

// Our environment plus the extras, as a double-NUL-terminated block sorted by name.
std::string environmentBlock(const StartOptions& options)
{
    std::vector<std::string> variables;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; entry && *entry; entry += std::strlen(entry) + 1)
        variables.emplace_back(entry);
    if (block)
        FreeEnvironmentStringsA(block);
    for (const std::string& extra : options.environment)
        setVariable(variables, extra);
    if (options.powerStandIn) {
        std::string overrides;
        for (const std::string& existing : variables) {
            if (nameMatches(existing, "WINEDLLOVERRIDES"))
                overrides = existing.substr(existing.find('=', 1) + 1);
        }
        if (!overrides.empty())
            overrides += ';';
        overrides += "powrprof=n,b";
        setVariable(variables, "WINEDLLOVERRIDES=" + overrides);
    }
    std::stable_sort(variables.begin(), variables.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(variableName(a).c_str(), variableName(b).c_str()) < 0;
    });
    std::string result;
    for (const std::string& variable : variables) {
        result += variable;
        result += '\0';
    }
    result += '\0';
    return result;
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId && owner != search->processId)
        return TRUE;
    char text[256];
    if (search->className) {
        if (!GetClassNameA(window, text, sizeof(text)) || std::strcmp(text, search->className) != 0)
            return TRUE;
    }
    if (search->title) {
        text[0] = '\0';
        GetWindowTextA(window, text, sizeof(text));
        if (std::strcmp(text, search->title) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

std::string binDirectory()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string directory(path, length);
    const size_t slash = directory.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : directory.substr(0, slash);
}

std::string binPath(const char* fileName)
{
    return binDirectory() + "\\" + fileName;
}

void pumpMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool waitUntil(const std::function<bool()>& condition, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= ms)
            return condition();
        pumpMessages(10);
    }
}

bool startProcess(const std::string& path, const StartOptions& options, Process* process)
{
    std::string commandLine = "\"" + path + "\"";
    if (!options.arguments.empty())
        commandLine += " " + options.arguments;
    std::string environment = environmentBlock(options);
    const char* directory = options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();

    for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
        mutableLine.push_back('\0');
        if (CreateProcessA(path.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, &environment[0], directory,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            process->handle = info.hProcess;
            process->id = info.dwProcessId;
            std::lock_guard<std::mutex> lock(startedMutex);
            started.push_back(*process);
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            ADD_FAILURE() << "cannot start " << path << ": error " << error;
            return false;
        }
        if (attempt == kStartAttempts) {
            ADD_FAILURE() << "cannot start " << path << " after " << kStartAttempts << " attempts: error " << error;
            return false;
        }
        Sleep(200 * attempt);
    }
    return false;
}

bool processRunning(const Process& process)
{
    return process.handle && WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT;
}

bool waitProcessExit(const Process& process, DWORD ms, DWORD* exitCode)
{
    if (!process.handle)
        return false;
    // Pump while waiting: a process that sends to a window of this thread must not deadlock.
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed >= ms ? 0 : ms - elapsed;
        const DWORD result = MsgWaitForMultipleObjects(1, &process.handle, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            break;
        if (result == WAIT_OBJECT_0 + 1) {
            pumpMessages(0);
            continue;
        }
        return false;
    }
    if (exitCode)
        GetExitCodeProcess(process.handle, exitCode);
    return true;
}

void killProcess(Process& process)
{
    if (!process.handle)
        return;
    if (WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.handle, 1);
        WaitForSingleObject(process.handle, 5000);
    }
}

void killStartedProcesses()
{
    std::vector<Process> ending;
    {
        std::lock_guard<std::mutex> lock(startedMutex);
        ending.swap(started);
    }
    for (Process& process : ending) {
        killProcess(process);
        CloseHandle(process.handle);
    }
}

void killStartedProcessesNow()
{
    // For the watchdog thread: ends them but leaves the handles to the test's own thread.
    std::lock_guard<std::mutex> lock(startedMutex);
    for (const Process& process : started) {
        if (WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.handle, 1);
    }
}

std::vector<DWORD> startedProcessIds()
{
    std::lock_guard<std::mutex> lock(startedMutex);
    std::vector<DWORD> ids;
    for (const Process& process : started)
        ids.push_back(process.id);
    return ids;
}

std::vector<DWORD> processIdsByName(const char* exeName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const char* base = std::strrchr(entry.szExeFile, '\\');
        base = base ? base + 1 : entry.szExeFile;
        if (lstrcmpiA(base, exeName) == 0 && entry.th32ProcessID != GetCurrentProcessId())
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

int killProcessesByName(const char* exeName)
{
    const std::vector<DWORD> ids = processIdsByName(exeName);
    for (DWORD id : ids) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process)
            continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    return static_cast<int>(ids.size());
}

HWND findProcessWindow(DWORD processId, const char* className, const char* title)
{
    WindowSearch search = {processId, className, title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND findSomnivarWindow()
{
    return FindWindowA("Somnivar", "Somnivar");
}

bool startSomnivar(const StartOptions& options, Instance* instance, DWORD ms)
{
    instance->mainWindow = nullptr;
    if (!startProcess(binPath("Somnivar.exe"), options, &instance->process))
        return false;
    const Process& process = instance->process;
    waitUntil(
        [&] {
            instance->mainWindow = findProcessWindow(process.id, "Somnivar", "Somnivar");
            return instance->mainWindow != nullptr || !processRunning(process);
        },
        ms);
    return instance->mainWindow != nullptr;
}

bool startSomnivar(const char* arguments, Instance* instance, DWORD ms)
{
    StartOptions options;
    options.arguments = arguments ? arguments : "";
    return startSomnivar(options, instance, ms);
}

bool runSomnivar(const char* arguments, DWORD ms, DWORD* exitCode)
{
    StartOptions options;
    options.arguments = arguments ? arguments : "";
    Process process;
    if (!startProcess(binPath("Somnivar.exe"), options, &process))
        return false;
    if (waitProcessExit(process, ms, exitCode))
        return true;
    killProcess(process);
    return false;
}

bool stopSomnivar(Instance& instance, DWORD ms)
{
    if (instance.mainWindow)
        PostMessageA(instance.mainWindow, WM_CLOSE, 0, 0);
    if (waitProcessExit(instance.process, ms, nullptr))
        return true;
    killProcess(instance.process);
    return false;
}

bool sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result, DWORD ms)
{
    DWORD_PTR answer = 0;
    const LRESULT sent = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, ms, &answer);
    if (result)
        *result = answer;
    return sent != 0;
}

bool postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(window, message, wParam, lParam) != 0;
}

bool waitWindowGone(HWND window, DWORD ms)
{
    return waitUntil([&] { return !IsWindow(window); }, ms);
}

std::string readFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::string toUtf8(const std::string& cp932)
{
    if (cp932.empty())
        return "";
    const int wideLength = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &wide[0], wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

} // namespace harness
