// The about box and the readme viewer of a running Somnivar.
#include "harness/harness.h"

#include <richedit.h>

using namespace harness;

namespace {

constexpr const char* kAboutTitle = "Somnivar について";
constexpr const char* kReadmeTitle = "Somnivar - Readme.txt";

// Lines "NNN 行目 Somnivar" with CR LF.
std::string numberedLines(int count)
{
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += std::to_string(100 + i) + " \x8d\x73\x96\xda Somnivar\r\n"; // 行目
    return lines;
}

} // namespace

class InfoTest : public SomnivarTest {
protected:
    Instance instance;
    // The window once it has finished opening: a sent message waits for that.
    HWND window(const char* title)
    {
        HWND found = nullptr;
        waitUntil([&] { return (found = findProcessWindow(instance.process.id, "#32770", title)) != nullptr; }, 10000);
        return found && sendMessage(found, WM_NULL, 0, 0, nullptr, 20000) ? found : nullptr;
    }
    LRESULT ask(HWND target, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0;
        EXPECT_TRUE(sendMessage(target, message, wParam, lParam, &result));
        return static_cast<LRESULT>(result);
    }
    // Through WM_GETTEXT, which another process's control answers from its own thread.
    std::string text(HWND window)
    {
        char buffer[256] = "";
        return std::string(buffer, ask(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer)));
    }
    HWND openReadme()
    {
        EXPECT_TRUE(postMessage(instance.mainWindow, WM_COMMAND, 261, 0));
        HWND viewer = window(kReadmeTitle);
        return viewer ? FindWindowExA(viewer, nullptr, "RICHEDIT", nullptr) : nullptr;
    }
};

TEST_F(InfoTest, AboutBoxReadsTheVersionBlockAndClosesWithEsc)
{
    ASSERT_TRUE(storeSettings());
    ASSERT_TRUE(startSomnivar("", &instance));
    ASSERT_TRUE(postMessage(instance.mainWindow, WM_COMMAND, 260, 0));
    HWND about = window(kAboutTitle);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(text(GetDlgItem(about, 1107)), "Somnivar");
    EXPECT_EQ(text(GetDlgItem(about, 1106)), "Version 8.1");
    EXPECT_EQ(text(GetDlgItem(about, 1105)), "Copyright (C) 2026 Orlenby");
    ASSERT_TRUE(postMessage(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0));
    EXPECT_TRUE(waitWindowGone(about, 5000));
}

TEST_F(InfoTest, HelpStartShowsTheFileIgnoresLeftAndRightAndEndsWithItsViewer)
{
    const std::string lines = numberedLines(150);
    writeFile("Readme.txt", lines);
    ASSERT_TRUE(storeSettings());
    ASSERT_TRUE(startSomnivar("-H", &instance));
    HWND viewer = window(kReadmeTitle);
    HWND edit = FindWindowExA(viewer, nullptr, "RICHEDIT", nullptr);
    ASSERT_NE(edit, nullptr);
    std::string shown(lines.size() + 16, '\0');
    EXPECT_EQ(toUtf8(shown.substr(0, ask(edit, WM_GETTEXT, shown.size(), reinterpret_cast<LPARAM>(&shown[0])))),
              toUtf8(lines));

    ASSERT_TRUE(postMessage(edit, WM_KEYDOWN, VK_NEXT, 0));
    ASSERT_TRUE(waitUntil([&] { return ask(edit, EM_GETFIRSTVISIBLELINE) > 0; }, 5000));
    const LRESULT top = ask(edit, EM_GETFIRSTVISIBLELINE), caret = ask(edit, EM_GETSEL);
    EXPECT_EQ(LOWORD(caret), ask(edit, EM_LINEINDEX, top)) << "the caret stays at the top line";
    for (WPARAM key : {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_RIGHT})
        ASSERT_TRUE(postMessage(edit, WM_KEYDOWN, key, 0));
    EXPECT_EQ(ask(edit, EM_GETFIRSTVISIBLELINE), top);
    EXPECT_EQ(ask(edit, EM_GETSEL), caret);

    ASSERT_TRUE(postMessage(GetDlgItem(viewer, IDOK), BM_CLICK, 0, 0));
    DWORD exitCode = 99;
    EXPECT_TRUE(waitProcessExit(instance.process, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(InfoTest, HugeOrBinaryReadmeIsShownOrCutAndAPlantedLibraryIsNeverLoaded)
{
    ASSERT_TRUE(CopyFileA(binPath("plantedriched.dll").c_str(), "RICHED32.DLL", FALSE));
    writeFile("Readme.txt", numberedLines(280000)); // 5 MB
    ASSERT_TRUE(storeSettings());
    ASSERT_TRUE(startSomnivar("", &instance));
    for (int binary : {0, 1}) {
        HWND edit = openReadme();
        ASSERT_NE(edit, nullptr);
        const LRESULT lines = ask(edit, EM_GETLINECOUNT);
        EXPECT_TRUE(lines >= 1 && lines <= (binary ? 65536 : 30000)) << lines << ": half a megabyte at most";
        HWND viewer = GetParent(edit);
        ASSERT_TRUE(postMessage(viewer, WM_CLOSE, 0, 0) && waitWindowGone(viewer, 10000));
        std::string bytes(65536, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7);   // every byte value, NULs included
        writeFile("Readme.txt", bytes);
    }
    EXPECT_TRUE(processRunning(instance.process));
    EXPECT_EQ(GetFileAttributesA("planted-riched32-loaded"), INVALID_FILE_ATTRIBUTES);
}
