// Message boxes and dialogs of other processes. Texts are read with GetWindowTextA, which for
// another process's window reads the stored text and sends nothing, so a stuck process cannot
// hang these calls.
#include "harness/harness.h"

#include <cstring>

namespace harness {

namespace {

// The text control of a message box; Windows and Wine both give it this id.
constexpr int kMessageBoxTextId = 0xFFFF;

std::string windowText(HWND window)
{
    char text[4096];
    text[0] = '\0';
    const int length = GetWindowTextA(window, text, sizeof(text));
    return std::string(text, length > 0 ? length : 0);
}

struct LongestStatic {
    std::string text;
};

BOOL CALLBACK collectLongestStatic(HWND child, LPARAM parameter)
{
    char className[32];
    if (GetClassNameA(child, className, sizeof(className)) && lstrcmpiA(className, "Static") == 0) {
        std::string text = windowText(child);
        LongestStatic* longest = reinterpret_cast<LongestStatic*>(parameter);
        if (text.size() > longest->text.size())
            longest->text = text;
    }
    return TRUE;
}

struct DialogList {
    DWORD processId;
    std::vector<Box> boxes;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM parameter)
{
    DialogList* list = reinterpret_cast<DialogList*>(parameter);
    char className[32];
    if (!IsWindowVisible(window) || !GetClassNameA(window, className, sizeof(className)) ||
        std::strcmp(className, "#32770") != 0)
        return TRUE;
    Box box;
    box.window = window;
    GetWindowThreadProcessId(window, &box.processId);
    if (list->processId && box.processId != list->processId)
        return TRUE;
    box.owner = GetWindow(window, GW_OWNER);
    box.caption = windowText(window);
    if (HWND text = GetDlgItem(window, kMessageBoxTextId)) {
        box.text = windowText(text);
    } else {
        LongestStatic longest;
        EnumChildWindows(window, collectLongestStatic, reinterpret_cast<LPARAM>(&longest));
        box.text = longest.text;
    }
    list->boxes.push_back(box);
    return TRUE;
}

} // namespace

std::vector<Box> openDialogs(DWORD processId)
{
    DialogList list{processId, {}};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&list));
    return list.boxes;
}

bool isMessageBox(HWND dialog)
{
    return GetDlgItem(dialog, kMessageBoxTextId) != nullptr;
}

bool waitMessageBox(const char* caption, DWORD ms, Box* box, DWORD processId)
{
    return waitUntil(
        [&] {
            for (const Box& candidate : openDialogs(processId)) {
                if (candidate.caption == caption) {
                    if (box)
                        *box = candidate;
                    return true;
                }
            }
            return false;
        },
        ms);
}

bool pressButton(const Box& box, int buttonId)
{
    HWND button = GetDlgItem(box.window, buttonId);
    if (!button)
        return false;
    // Posted, like a click: the box's own thread handles it, this one never waits on it.
    return PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != 0;
}

} // namespace harness
