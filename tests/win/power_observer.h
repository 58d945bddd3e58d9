// Observing suspends from a test: the power stand-in's shared log, a window that records the
// SC_MONITORPOWER broadcasts in the same sequence, and import-table hooks for in-process tests.
#pragma once
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/win/standins.h"

namespace powertest {

// The stand-in's shared state; reset() means "succeed at once, no notifications".
class PowerStandIn {
public:
    PowerStandIn() : state_(standin::mapShared<standin::PowerState>(standin::kPowerMappingName, &mapping_)) {}
    ~PowerStandIn()
    {
        if (state_)
            UnmapViewOfFile(state_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    PowerStandIn(const PowerStandIn&) = delete;
    PowerStandIn& operator=(const PowerStandIn&) = delete;

    bool ok() const { return state_ != nullptr; }
    standin::PowerState& state() { return *state_; }
    void reset() { std::memset(const_cast<standin::PowerState*>(state_), 0, sizeof(*state_)); }
    LONG calls() const { return state_->callCount; }
    const standin::PowerCall& call(LONG index) const { return state_->calls[index]; }

private:
    HANDLE mapping_ = nullptr;
    standin::PowerState* state_;
};

struct MonitorEvent {
    LONG sequence;
    LPARAM argument;
};

// A hidden top-level window on its own thread: HWND_BROADCAST reaches it, and its thread
// always answers, so a broadcasting program never waits on the test.
class MonitorRecorder {
public:
    explicit MonitorRecorder(PowerStandIn& standIn) : standIn_(standIn) {}
    ~MonitorRecorder() { stop(); }

    bool start()
    {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] { run(ready); });
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
        return window_ != nullptr;
    }
    void stop()
    {
        if (thread_.joinable()) {
            PostMessageA(window_, WM_CLOSE, 0, 0);
            thread_.join();
        }
        window_ = nullptr;
    }
    std::vector<MonitorEvent> events()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<MonitorRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MONITORPOWER && self) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->events_.push_back({InterlockedIncrement(&self->standIn_.state().sequence), lParam});
            return 0;
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    void run(HANDLE ready)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SomnivarTestMonitorRecorder";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
        if (window_)
            SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetEvent(ready);
        MSG message;
        while (window_ && GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
    }

    PowerStandIn& standIn_;
    std::thread thread_;
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::vector<MonitorEvent> events_;
};

// Replaces an import of this executable by name; returns the previous target or null.
inline void* hookImport(const char* functionName, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return nullptr;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); module->Name;
         ++module) {
        if (!module->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) != 0)
                continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

// Empty when the events ran: monitor argument, the power call, monitor on (-1), and nothing
// else; otherwise what went wrong.
inline std::string checkSuspendOrder(const std::vector<MonitorEvent>& monitor, LONG callSequence,
                                     LPARAM expectedArgument)
{
    if (monitor.size() != 2)
        return "expected two monitor broadcasts, got " + std::to_string(monitor.size());
    if (monitor[0].argument != expectedArgument || monitor[1].argument != -1)
        return "arguments " + std::to_string(monitor[0].argument) + " " + std::to_string(monitor[1].argument);
    if (!(monitor[0].sequence < callSequence && callSequence < monitor[1].sequence))
        return "order " + std::to_string(monitor[0].sequence) + " " + std::to_string(callSequence) + " " +
               std::to_string(monitor[1].sequence);
    return "";
}

} // namespace powertest
