#undef _WIN32_WINNT  // the registry calls of Vista and later (Wine has them all)
#define _WIN32_WINNT 0x0600
#include "harness/harness.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>

namespace harness {

namespace {

// The win32 thread model has no standard mutex; a critical section serves std::lock_guard.
struct Mutex {
    CRITICAL_SECTION section;
    Mutex() { InitializeCriticalSection(&section); }
    void lock() { EnterCriticalSection(&section); }
    void unlock() { LeaveCriticalSection(&section); }
};
Mutex lock;
std::vector<Process> started;
std::vector<TrayEvent> trayEvents;

std::string windowText(HWND window)
{
    char text[4096];
    return std::string(text, std::max(0, GetWindowTextA(window, text, sizeof(text))));
}

bool isClass(HWND window, const char* name)
{
    char className[64];
    return GetClassNameA(window, className, sizeof(className)) && !lstrcmpiA(className, name);
}

// Wine 8 sends each Shell_NotifyIcon call as WM_COPYDATA (dwData: the NIM_ code) with this
// record, followed by the icon's mask and colour bits.
struct NotifyData {
    LONG window;
    UINT id, flags, callbackMessage;
    WCHAR tip[128];
    DWORD state, stateMask;
    WCHAR balloonText[256];
    UINT timeout;
    WCHAR balloonTitle[64];
    DWORD balloonFlags;
    GUID item;
    UINT iconWidth, iconHeight, iconPlanes, iconBitsPerPixel;
};
static_assert(sizeof(NotifyData) == 960, "Wine tray record");

template <size_t N>
std::string toCp932(const WCHAR (&text)[N])
{
    char bytes[N * 2 + 1];
    return std::string(bytes, std::max(0, WideCharToMultiByte(932, 0, text, -1, bytes, N * 2 + 1, 0, 0) - 1));
}

LRESULT CALLBACK trayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (message != WM_COPYDATA || data->cbData < sizeof(NotifyData))
        return DefWindowProcA(window, message, wParam, lParam);
    NotifyData r;
    std::memcpy(&r, data->lpData, sizeof(r));
    TrayEvent event{DWORD(data->dwData), r.flags, r.timeout, toCp932(r.tip), toCp932(r.balloonText),
                    toCp932(r.balloonTitle), r.balloonFlags, 0};
    GetWindowThreadProcessId(reinterpret_cast<HWND>(LONG_PTR(r.window)), &event.processId);
    std::lock_guard<Mutex> guard(lock);
    trayEvents.push_back(event);
    return TRUE;
}

} // namespace

std::string binPath(const char* fileName)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::strcpy(std::strrchr(path, '\\') + 1, fileName);
    return path;
}

void pumpMessages(DWORD ms)
{
    for (const DWORD start = GetTickCount();; MsgWaitForMultipleObjects(0, 0, 0, ms - (GetTickCount() - start), QS_ALLINPUT)) {
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (GetTickCount() - start >= ms)
            return;
    }
}

bool waitUntil(const std::function<bool()>& condition, DWORD ms)
{
    for (const DWORD start = GetTickCount(); !condition(); pumpMessages(10)) {
        if (GetTickCount() - start >= ms)
            return condition();
    }
    return true;
}

bool startProcess(const std::string& path, const StartOptions& options, Process* process)
{
    std::string line = "\"" + path + "\" " + options.arguments;
    const char* directory = options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
    for (int attempt = 1; attempt <= 5; SleepEx(200 * attempt++, FALSE)) {  // Wine fails a start now and then
        STARTUPINFOA startup = {sizeof(startup)};
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &info)) {
            CloseHandle(info.hThread);
            *process = {info.hProcess, info.dwProcessId};
            std::lock_guard<Mutex> guard(lock);
            started.push_back(*process);
            return true;
        }
    }
    ADD_FAILURE() << "cannot start " << path << ": error " << GetLastError();
    return false;
}

DWORD waitExitCode(const Process& process, DWORD ms)
{
    // Pumping: a process that sends to a window of this thread must not deadlock.
    DWORD code = STILL_ACTIVE;
    waitUntil([&] { return !processRunning(process); }, ms);
    return process.handle && GetExitCodeProcess(process.handle, &code) ? code : STILL_ACTIVE;
}

void killProcess(Process& process)
{
    if (processRunning(process)) {
        TerminateProcess(process.handle, 1);
        WaitForSingleObject(process.handle, 5000);
    }
}

HWND findProcessWindow(DWORD processId, const char* className, const char* title)
{
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((!processId || owner == processId) && (!className || isClass(window, className)) &&
            (!title || windowText(window) == title))
            return window;
    }
    return nullptr;
}

bool startSomnivar(const char* arguments, Instance* instance, DWORD ms)
{
    instance->mainWindow = nullptr;
    return startProcess(binPath("Somnivar.exe"), {arguments}, &instance->process) && waitUntil([&] {
        instance->mainWindow = findProcessWindow(instance->process.id, "Somnivar", "Somnivar");
        return instance->mainWindow || !processRunning(instance->process);
    }, ms) && instance->mainWindow;
}

bool stopSomnivar(Instance& instance, DWORD ms)
{
    PostMessageA(instance.mainWindow, WM_CLOSE, 0, 0);
    const bool ended = waitExitCode(instance.process, ms) != STILL_ACTIVE;
    killProcess(instance.process);
    return ended;
}

bool sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result, DWORD ms)
{
    DWORD_PTR answer = 0;
    const bool sent = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, ms, &answer) != 0;
    if (result)
        *result = answer;
    return sent;
}

// GetWindowTextA of another process's window reads the stored text and sends nothing there.
std::vector<Box> openDialogs(DWORD processId)
{
    std::vector<Box> boxes;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        Box box{window, GetWindow(window, GW_OWNER), 0, windowText(window), ""};
        GetWindowThreadProcessId(window, &box.processId);
        if (!IsWindowVisible(window) || !isClass(window, "#32770") || (processId && box.processId != processId))
            continue;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (GetDlgCtrlID(child) == 0xFFFF || (isClass(child, "Static") && windowText(child).size() > box.text.size()))
                box.text = windowText(child);
            if (GetDlgCtrlID(child) == 0xFFFF)  // a message box's text
                break;
        }
        boxes.push_back(box);
    }
    return boxes;
}

bool waitMessageBox(const char* caption, DWORD ms, Box* box, DWORD processId)
{
    return waitUntil([&] {
        for (const Box& candidate : openDialogs(processId)) {
            if (candidate.caption == caption && box)
                *box = candidate;
            if (candidate.caption == caption)
                return true;
        }
        return false;
    }, ms);
}

bool pressButton(const Box& box, int buttonId)
{
    HWND button = GetDlgItem(box.window, buttonId);
    return button && PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), LPARAM(button));
}

bool deleteKeyTree(HKEY root, const char* path)
{
    RegDeleteTreeA(root, path);
    RegDeleteKeyA(root, path);
    return !keyExists(root, path);
}

bool keyExists(HKEY root, const char* path)
{
    HKEY key;
    return RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS && !RegCloseKey(key);
}

bool writeDword(HKEY root, const char* path, const char* name, DWORD value)
{
    return RegSetKeyValueA(root, path, name, REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}

bool writeValue(HKEY root, const char* path, const char* name, DWORD type, const std::string& data)
{
    return RegSetKeyValueA(root, path, name, type, data.data(), data.size()) == ERROR_SUCCESS;
}

std::vector<std::string> valueNames(HKEY root, const char* path)
{
    std::vector<std::string> names;
    HKEY key;
    char name[256];
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0, length = 256; RegEnumValueA(key, i, name, &length, 0, 0, 0, 0) == ERROR_SUCCESS; ++i, length = 256)
        names.emplace_back(name, length);
    RegCloseKey(key);
    return names;
}

const StoredValues kStoredDefaults = {
    {"Time", 10}, {"Enable", 1}, {"Expand", 0}, {"ExpType", 1}, {"Resource", 0}, {"Value", 30},
    {"Stop", 0}, {"StopValue", 30}, {"SuspendOther", 0}, {"SuspendType", 0}, {"Monitor", 0},
    {"HotKeyUse", 0}, {"HotKeyCode", 0}, {"ApplicationCheck", 0}, {"TitleCheck", 0}, {"OffCheck", 0},
    {"StatusDisplay", 0}};

bool storeSettings(const StoredValues& overrides)
{
    StoredValues values = kStoredDefaults;
    values.insert(values.end(), overrides.begin(), overrides.end());  // later writes win
    bool stored = true;
    for (const auto& value : values)
        stored = writeDword(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", value.first, value.second) && stored;
    return stored;
}

DWORD storedSetting(const char* name)
{
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    RegGetValueA(HKEY_CURRENT_USER, "Software\\Orlenby\\Somnivar", name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

void setWineVersion(const char* version)
{
    const char* path = "Software\\Wine\\AppDefaults\\Somnivar.exe";
    if (version)
        writeValue(HKEY_CURRENT_USER, path, "Version", REG_SZ, std::string(version) + '\0');
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, path, "Version");
}

bool installSystemLibrary(const std::string& source, const char* name, bool wow64)
{
    char folder[MAX_PATH];
    const UINT length = wow64 ? GetSystemWow64DirectoryA(folder, MAX_PATH) : GetSystemDirectoryA(folder, MAX_PATH);
    return length && length < MAX_PATH &&
           CopyFileA(source.c_str(), (std::string(folder) + "\\" + name).c_str(), FALSE);
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string failureText(DWORD error)
{
    char system[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system, 256, nullptr);
    return std::string("サスペンドできませんでした。\n理由：") + system;
}

std::string toUtf8(const std::string& cp932)
{
    WCHAR wide[4096];
    char utf8[12288];
    const int length = MultiByteToWideChar(932, 0, cp932.c_str(), -1, wide, 4096);
    return std::string(utf8, std::max(0, WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8, 12288, 0, 0) - 1));
}

bool FakeTray::start()
{
    clear();
    if (window_)
        return true;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, [](void* parameter) -> DWORD {
        WNDCLASSA windowClass = {0, trayProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "Shell_TrayWnd"};
        RegisterClassA(&windowClass);  // fails harmlessly the second time
        CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, -100, -100, 1, 1, nullptr,
                        nullptr, nullptr, nullptr);
        SetEvent(parameter);
        for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;)
            DispatchMessageA(&message);
        return 0;
    }, ready, 0, nullptr);
    WaitForSingleObject(ready, 10000);
    CloseHandle(ready);
    window_ = FindWindowA("Shell_TrayWnd", nullptr);  // ours must be the one Wine finds
    DWORD owner = 0;
    return window_ && GetWindowThreadProcessId(window_, &owner) == GetThreadId(thread_);
}

void FakeTray::stop()
{
    PostMessageA(window_, WM_QUIT, 0, 0);
    if (thread_ && WaitForSingleObject(thread_, 5000) != WAIT_OBJECT_0)
        TerminateThread(thread_, 1);
    CloseHandle(thread_);
    thread_ = nullptr;
    window_ = nullptr;
}

std::vector<TrayEvent> FakeTray::events()
{
    std::lock_guard<Mutex> guard(lock);
    return trayEvents;
}

void FakeTray::clear()
{
    std::lock_guard<Mutex> guard(lock);
    trayEvents.clear();
}

bool FakeTray::waitFor(const std::function<bool(const TrayEvent&)>& predicate, DWORD ms, TrayEvent* found)
{
    return waitUntil([&] {
        for (const TrayEvent& event : events()) {
            if (predicate(event) && found)
                *found = event;
            if (predicate(event))
                return true;
        }
        return false;
    }, ms);
}

void* hookImport(const char* functionName, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; module->Name; ++module) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; module->OriginalFirstThunk && names->u1.AddressOfData; ++names, ++slots) {
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) || std::strcmp(byName->Name, functionName))
                continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

void SomnivarTest::SetUp()
{
    char temp[MAX_PATH], previous[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetCurrentDirectoryA(MAX_PATH, previous);
    previousDirectory_ = previous;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    workDirectory_ = std::string(temp) + "somnivar-" + info->test_suite_name() + "." + info->name();
    CreateDirectoryA(workDirectory_.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((workDirectory_ + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        DeleteFileA((workDirectory_ + "\\" + found.cFileName).c_str());
    FindClose(search);
    ASSERT_TRUE(SetCurrentDirectoryA(workDirectory_.c_str())) << workDirectory_;
    ASSERT_TRUE(waitUntil([] { return FindWindowA("Somnivar", "Somnivar") == nullptr; }, 5000));
    ASSERT_TRUE(deleteKeyTree(HKEY_CURRENT_USER, "Software\\Orlenby"));
    setWineVersion(nullptr);
    static const bool powerStandInInstalled = installSystemLibrary(binPath("powrprof.dll"), "powrprof.dll");
    ASSERT_TRUE(powerStandInInstalled);
    // A child takes its load-order overrides from the registry, not from its environment.
    ASSERT_TRUE(writeValue(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Somnivar.exe\\DllOverrides", "powrprof",
                           REG_SZ, std::string("native,builtin", 15)));
    ASSERT_NE(standin::sharedState(), nullptr);
    std::memset(&standIns(), 0, sizeof(standin::State));
    standIns().meterPercent = 100;
}

void SomnivarTest::TearDown()
{
    std::vector<Process> ours;
    {
        std::lock_guard<Mutex> guard(lock);
        ours.swap(started);
    }
    for (const Box& box : openDialogs()) {
        if (std::none_of(ours.begin(), ours.end(), [&](const Process& p) { return p.id == box.processId; }))
            continue;
        // A modeless window (the first run's settings dialog) may stay open; a message box may not.
        if (GetDlgItem(box.window, 0xFFFF))
            ADD_FAILURE() << "unexpected message box \"" << toUtf8(box.caption) << "\": \"" << toUtf8(box.text) << "\"";
        if (!pressButton(box, IDOK) && !pressButton(box, IDCANCEL))
            PostMessageA(box.window, WM_CLOSE, 0, 0);
    }
    for (Process& process : ours) {
        killProcess(process);
        CloseHandle(process.handle);
    }
    SetCurrentDirectoryA(previousDirectory_.c_str());
}

void SomnivarTest::writeFile(const char* name, const std::string& bytes)
{
    std::ofstream(workDirectory_ + "\\" + name, std::ios::binary) << bytes;
}

} // namespace harness

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Every comparison of a Japanese text would fail for no fault of the program; only the English
    // interface's suite is for other code pages.
    if (GetACP() != 932 && ::testing::GTEST_FLAG(filter) != "English.*") {
        std::fprintf(stderr, "win_tests: the ANSI code page is %u, not 932 (run through tools/wine-run)\n", GetACP());
        return 2;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const int result = RUN_ALL_TESTS();
    // ctest passes the run on this line only, so a run that dies half-way never passes.
    std::printf("win_tests: finished with exit code %d\n", result);
    std::fflush(stdout);
    return result;
}
