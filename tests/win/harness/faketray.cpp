// Stand-in for the notification area. Wine's Shell_NotifyIcon looks up the top-most window of
// class "Shell_TrayWnd" and sends it the call as WM_COPYDATA (dwData = the NIM_ code) with a
// flattened record that does not depend on the caller's pointer size. This window takes those
// calls and records them. It is top-most, so it stays above Wine's own tray window.
#include "harness/harness.h"

#include <shellapi.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

namespace harness {

namespace {

// Wine 8.0's record: the icon's mask bits and then its colour bits (GetBitmapBits of each)
// follow it directly.
struct NotifyData {
    LONG window;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    WCHAR tip[128];
    DWORD state;
    DWORD stateMask;
    WCHAR balloonText[256];
    UINT timeout;
    WCHAR balloonTitle[64];
    DWORD balloonFlags;
    GUID item;
    UINT iconWidth;
    UINT iconHeight;
    UINT iconPlanes;
    UINT iconBitsPerPixel;
};
static_assert(offsetof(NotifyData, tip) == 16, "Wine tray record");
static_assert(offsetof(NotifyData, state) == 272, "Wine tray record");
static_assert(offsetof(NotifyData, balloonText) == 280, "Wine tray record");
static_assert(offsetof(NotifyData, timeout) == 792, "Wine tray record");
static_assert(offsetof(NotifyData, balloonTitle) == 796, "Wine tray record");
static_assert(offsetof(NotifyData, balloonFlags) == 924, "Wine tray record");
static_assert(offsetof(NotifyData, iconWidth) == 944, "Wine tray record");
static_assert(sizeof(NotifyData) == 960, "Wine tray record");

constexpr const char* kTrayClass = "Shell_TrayWnd";

template <size_t N>
std::string toCodePage932(const WCHAR (&text)[N])
{
    size_t length = 0;
    while (length < N && text[length])
        ++length;
    if (length == 0)
        return "";
    char bytes[N * 2 + 1];
    const int converted = WideCharToMultiByte(932, 0, text, static_cast<int>(length), bytes, sizeof(bytes), nullptr,
                                              nullptr);
    return std::string(bytes, converted > 0 ? converted : 0);
}

// The bytes Wine sends for an icon: mask bits, then colour bits.
std::string iconBits(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return "";
    std::string bits;
    for (HBITMAP bitmap : {info.hbmMask, info.hbmColor}) {
        if (!bitmap)
            continue;
        BITMAP header = {};
        GetObjectA(bitmap, sizeof(header), &header);
        const LONG size = (header.bmPlanes * header.bmWidth * header.bmHeight * header.bmBitsPixel + 15) / 16 * 2;
        std::string part(size, '\0');
        GetBitmapBits(bitmap, size, &part[0]);
        bits += part;
        DeleteObject(bitmap);
    }
    return bits;
}

size_t sameBytes(const std::string& a, const char* b, size_t bLength)
{
    const size_t length = a.size() < bLength ? a.size() : bLength;
    size_t same = 0;
    for (size_t i = 0; i < length; ++i)
        same += a[i] == b[i];
    return same;
}

void dumpPayload(const COPYDATASTRUCT* data)
{
    std::printf("[FakeTray] dwData %lu, %lu bytes\n", static_cast<unsigned long>(data->dwData),
                static_cast<unsigned long>(data->cbData));
    const unsigned char* bytes = static_cast<const unsigned char*>(data->lpData);
    const DWORD shown = data->cbData < 1024 ? data->cbData : 1024;
    for (DWORD row = 0; row < shown; row += 16) {
        std::printf("  %04lx:", static_cast<unsigned long>(row));
        for (DWORD i = row; i < row + 16 && i < shown; ++i)
            std::printf(" %02x", bytes[i]);
        std::printf("\n");
    }
    std::fflush(stdout);
}

} // namespace

struct FakeTray::Impl {
    HANDLE thread = nullptr;
    HANDLE ready = nullptr;
    HWND window = nullptr;
    std::mutex mutex;
    std::vector<TrayEvent> events;
    // Somnivar's icons 1 to 3 by size, as bit strings comparable with the payload.
    std::map<std::pair<UINT, UINT>, std::array<std::string, 3>> iconsBySize;
    HMODULE program = nullptr;
    bool dump = false;

    const std::array<std::string, 3>& programIcons(UINT width, UINT height)
    {
        auto found = iconsBySize.find({width, height});
        if (found != iconsBySize.end())
            return found->second;
        std::array<std::string, 3> icons;
        if (!program)
            program = LoadLibraryExA(binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        for (int id = 1; id <= 3; ++id) {
            HICON icon = program ? static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                                                 static_cast<int>(width), static_cast<int>(height), 0))
                                 : nullptr;
            if (icon) {
                icons[id - 1] = iconBits(icon);
                DestroyIcon(icon);
            }
        }
        return iconsBySize.emplace(std::make_pair(width, height), icons).first->second;
    }

    // Exact match first; otherwise the closest icon when it is clearly closer than the others
    // (a display of another depth may round colours differently).
    int identifyIcon(const NotifyData& data, const char* bits, size_t length)
    {
        const std::array<std::string, 3>& icons = programIcons(data.iconWidth, data.iconHeight);
        for (int i = 0; i < 3; ++i) {
            if (!icons[i].empty() && icons[i].size() == length && std::memcmp(icons[i].data(), bits, length) == 0)
                return i + 1;
        }
        int best = 0;
        size_t bestSame = 0;
        size_t secondSame = 0;
        for (int i = 0; i < 3; ++i) {
            if (icons[i].size() != length)
                continue;
            const size_t same = sameBytes(icons[i], bits, length);
            if (same > bestSame) {
                secondSame = bestSame;
                bestSame = same;
                best = i + 1;
            } else if (same > secondSame) {
                secondSame = same;
            }
        }
        const bool close = bestSame * 100 >= length * 95;
        const bool distinct = bestSame - secondSame >= length / 50;
        return close && distinct ? best : 0;
    }

    LRESULT copyData(const COPYDATASTRUCT* data)
    {
        if (dump)
            dumpPayload(data);
        if (!data->lpData || data->cbData < sizeof(NotifyData))
            return FALSE;
        NotifyData record;
        std::memcpy(&record, data->lpData, sizeof(record));
        TrayEvent event;
        event.message = static_cast<DWORD>(data->dwData);
        event.window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(record.window));
        event.id = record.id;
        event.flags = record.flags;
        event.callbackMessage = record.callbackMessage;
        event.tip = toCodePage932(record.tip);
        event.balloonText = toCodePage932(record.balloonText);
        event.balloonTitle = toCodePage932(record.balloonTitle);
        event.balloonFlags = record.balloonFlags;
        event.timeout = record.timeout;
        GetWindowThreadProcessId(event.window, &event.processId);
        if ((record.flags & NIF_ICON) && data->cbData > sizeof(NotifyData))
            event.iconResource = identifyIcon(record, static_cast<const char*>(data->lpData) + sizeof(NotifyData),
                                              data->cbData - sizeof(NotifyData));
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
        return TRUE;
    }

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        Impl* impl = reinterpret_cast<Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        switch (message) {
        case WM_COPYDATA:
            return impl ? impl->copyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam)) : FALSE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI run(void* parameter)
    {
        Impl* impl = static_cast<Impl*>(parameter);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kTrayClass;
        RegisterClassA(&windowClass);  // fails harmlessly when an earlier tray registered it
        impl->window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kTrayClass, "", WS_POPUP,
                                       -100, -100, 1, 1, nullptr, nullptr, windowClass.hInstance, impl);
        if (impl->window)
            SetWindowPos(impl->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetEvent(impl->ready);
        if (!impl->window)
            return 1;
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return 0;
    }
};

bool FakeTray::start()
{
    if (impl_)
        return impl_->window != nullptr;
    impl_ = new Impl;
    char dump[8];
    impl_->dump = GetEnvironmentVariableA("SOMNIVAR_TRAY_DUMP", dump, sizeof(dump)) > 0;
    impl_->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    impl_->thread = CreateThread(nullptr, 0, Impl::run, impl_, 0, nullptr);
    if (!impl_->thread || WaitForSingleObject(impl_->ready, 5000) != WAIT_OBJECT_0 || !impl_->window) {
        stop();
        return false;
    }
    // Ours must be the one Wine finds.
    return FindWindowA(kTrayClass, nullptr) == impl_->window;
}

void FakeTray::stop()
{
    if (!impl_)
        return;
    if (impl_->window)
        PostMessageA(impl_->window, WM_CLOSE, 0, 0);
    if (impl_->thread) {
        if (WaitForSingleObject(impl_->thread, 5000) != WAIT_OBJECT_0)
            TerminateThread(impl_->thread, 1);
        CloseHandle(impl_->thread);
    }
    if (impl_->ready)
        CloseHandle(impl_->ready);
    if (impl_->program)
        FreeLibrary(impl_->program);
    delete impl_;
    impl_ = nullptr;
}

std::vector<TrayEvent> FakeTray::events()
{
    if (!impl_)
        return {};
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->events;
}

void FakeTray::clear()
{
    if (!impl_)
        return;
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->events.clear();
}

bool FakeTray::waitFor(const std::function<bool(const TrayEvent&)>& predicate, DWORD ms, TrayEvent* found)
{
    return waitUntil(
        [&] {
            for (const TrayEvent& event : events()) {
                if (predicate(event)) {
                    if (found)
                        *found = event;
                    return true;
                }
            }
            return false;
        },
        ms);
}

HWND FakeTray::window() const
{
    return impl_ ? impl_->window : nullptr;
}

} // namespace harness
