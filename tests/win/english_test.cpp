// The English interface under a code page other than 932 (the test command's 1252 prefix; skipped
// under 932): every window and menu opened, no byte of 0x80 or above in any text, every label
// within its control in the dialog's font, no mnemonic twice in one window.
#include "harness/harness.h"
#include <commctrl.h>

#include <set>

#include "app/mainwnd_win.h"
#include "app/process_win.h"
#include "app/texts.h"
#include "info/dialogs_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_dialog_win.h"
#include "status/caution_win.h"
#include "watchlists/editors_win.h"

using namespace harness;
using Rows = std::vector<std::string>;

namespace {

Rows shown, problems;  // every text seen; labels that do not fit, mnemonics used twice or elsewhere
std::vector<ACCEL> shortcuts;  // the English shortcut table

int WINAPI recordBox(HWND, const char* text, const char* caption, UINT)
{
    shown.insert(shown.end(), {caption, text});
    return IDNO;
}
int WINAPI fakeMeter(int) { return 10; }

std::string menuRows(HMENU menu)
{
    std::string all;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        all += std::string(text) + (GetSubMenu(menu, i) ? ">" + menuRows(GetSubMenu(menu, i)) + "<" : "") + "|";
    }
    return all;
}

// Room for the text inside the control: buttons lose their frame, boxes their mark, lists their arrow.
int room(HWND control, const std::string& className)
{
    RECT in;
    const LONG type = GetClientRect(control, &in) ? GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK : 0;
    const int mark = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? 2 * GetSystemMetrics(SM_CXEDGE)
                                                                       : GetSystemMetrics(SM_CXMENUCHECK) + 4;
    return in.right - (className == "Button" ? mark : className == "ComboBox" ? GetSystemMetrics(SM_CXVSCROLL) + 4 : 0);
}

void inspect(HWND window)
{
    char text[1024] = "";
    shown.insert(shown.end(), {std::string(text, GetWindowTextA(window, text, sizeof(text))),
                               menuRows(GetSystemMenu(window, FALSE))});
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)));
    std::set<char> mnemonics;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string name(text, GetClassNameA(child, text, sizeof(text)));
        Rows texts;
        if (name == "ComboBox") {
            for (int i = 0; i < SendMessageA(child, CB_GETCOUNT, 0, 0); ++i)
                texts.emplace_back(text, SendMessageA(child, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text)));
        } else if (name == "Button" || name == "Static") {
            texts.emplace_back(text, GetWindowTextA(child, text, sizeof(text)));
        } else {  // edits, the rich edit and the lists: their texts only
            shown.emplace_back(text, GetWindowTextA(child, text, sizeof(text)));
            LVCOLUMNA column = {LVCF_TEXT, 0, 0, text, sizeof(text)};
            if (name == "SysListView32" && ListView_GetColumn(child, 0, &column))
                shown.push_back(text);
        }
        for (const std::string& label : texts) {
            const size_t mark = label.find('&');
            RECT need = {};
            DrawTextA(dc, label.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
            const int letter = mark != std::string::npos ? toupper(label[mark + 1]) : 0;
            const bool elsewhere = std::any_of(shortcuts.begin(), shortcuts.end(), [&](const ACCEL& a) {
                return a.key == letter && a.cmd != GetDlgCtrlID(child);  // the table sends Alt+letter elsewhere
            });
            if ((letter && !mnemonics.insert(letter).second) || elsewhere || need.right > room(child, name))
                problems.push_back(label);
        }
        shown.insert(shown.end(), texts.begin(), texts.end());
    }
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
}

class English : public SomnivarTest {
protected:
    void SetUp() override
    {
        if (GetACP() == 932)
            GTEST_SKIP() << "the English interface is for code pages other than 932";
        SomnivarTest::SetUp();
        chooseLanguage(languageForCodePage(GetACP()));
        shown.clear(), problems.clear();
        appInstance = LoadLibraryExA(binPath("Somnivar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        previousBox_ = hookImport("MessageBoxA", reinterpret_cast<void*>(recordBox));
        HACCEL table = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDA_DIALOG_SHORTCUTS_ENGLISH));
        shortcuts.resize(CopyAcceleratorTableA(table, nullptr, 0));
        CopyAcceleratorTableA(table, shortcuts.data(), static_cast<int>(shortcuts.size()));
        mainWindow = CreateWindowExA(0, "STATIC", "Somnivar", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    void TearDown() override
    {
        if (!appInstance)  // skipped
            return;
        hookImport("MessageBoxA", previousBox_);
        DestroyWindow(mainWindow);
        FreeLibrary(reinterpret_cast<HMODULE>(appInstance));
        appInstance = nullptr, freeResourcesProc = nullptr, settings = kDefaultSettings;
        chooseLanguage(Language::japanese);
        SomnivarTest::TearDown();
    }
    void* previousBox_ = nullptr;
};

} // namespace

TEST_F(English, EveryWindowAndMenuShowsAsciiThatFits)
{
    writeFile("ReadmeEn.txt", readFile(binPath("ReadmeEn.txt")));
    readmeAvailable = processWatchAvailable = 1;
    for (int nt : {1, 0}) {
        isNtPlatform = nt;
        shellMajorVersion = nt ? 6 : 4;
        freeResourcesProc = nt ? fakeMeter : nullptr;
        buildTrayMenu();
        shown.push_back(menuRows(trayMenu));
        dropTrayMenu();
        openSettingsDialog();
        inspect(settingsDialog);
        for (int i = 0; i < tooltipSlotsUsed; ++i) {
            char tip[512] = "";
            TOOLINFOA info = tooltipSlots[i].info;
            info.lpszText = tip;
            SendMessageA(tooltipSlots[i].window, TTM_GETTEXTA, sizeof(tip), reinterpret_cast<LPARAM>(&info));
            shown.push_back(tip);
        }
        SetDlgItemTextA(settingsDialog, IDC_TIME, "0");  // refused with a box
        SendMessageA(settingsDialog, WM_COMMAND, IDC_SETTINGS_OK, 0);
        SendMessageA(settingsDialog, WM_COMMAND, IDC_UNINSTALL, 0);  // no settings stored: a box
        SendMessageA(settingsDialog, WM_CLOSE, 0, 0);
    }
    isNtPlatform = 1;
    for (void (*open)() : {openProgramEditor, openTitleEditor}) {
        open();
        inspect(programEditor ? programEditor : titleEditor);
        SendMessageA(programEditor ? programEditor : titleEditor, WM_CLOSE, 0, 0);
    }
    openAboutBox();
    inspect(aboutBox);
    HWND caution = CreateDialogParamA(appInstance, "IDD_CAUTION_EN", mainWindow, cautionDialogProc, 0);
    inspect(caution);
    DestroyWindow(caution);
    openReadmeViewer(nullptr);
    inspect(readmeViewer);
    std::vector<char> help(1 << 17);
    shown.emplace_back(help.data(), GetWindowTextA(readmeEdit, help.data(), static_cast<int>(help.size())));
    EXPECT_NE(shown.back().find("Copyright (C) 2026 Orlenby"), std::string::npos);  // the English help, whole
    SendMessageA(readmeViewer, WM_COMMAND, IDOK, 0);
    closeAboutBox();

    EXPECT_EQ(problems, Rows());
    for (const std::string& seen : shown)
        EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](char c) { return c < 0; }), 0) << seen;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "The time must be 1 to 60 minutes."), 2);
    EXPECT_EQ(shown[0], "&Enable|&Disable||Show &watch status||Suspend &now>&Standby|&Hibernate|<||&Settings...||"
                        "A&bout Somnivar...||&View Readme||E&xit|");
}

// The real program chooses the language at start: its first-run dialog, balloon, tooltip and the
// box of a second start.
TEST_F(English, ProgramStartsInEnglish)
{
    FakeTray tray;
    ASSERT_TRUE(tray.start());
    Instance app;
    ASSERT_TRUE(startSomnivar("-M", &app));
    TrayEvent balloon;
    ASSERT_TRUE(tray.waitFor([](const TrayEvent& e) { return e.balloonText.size() > 0; }, 10000, &balloon));
    EXPECT_EQ(balloon.balloonText, "Suspend errors will be shown here.");
    EXPECT_TRUE(waitUntil([&] { return findProcessWindow(app.process.id, "#32770", "Somnivar Settings"); }, 10000));
    Process second;
    ASSERT_TRUE(startProcess(binPath("Somnivar.exe"), {}, &second));
    Box box;
    ASSERT_TRUE(waitMessageBox("Somnivar", 10000, &box, second.id));
    EXPECT_EQ(box.text, "Somnivar is already running.");
    pressButton(box, IDOK);
    EXPECT_NE(waitExitCode(second, 10000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(stopSomnivar(app));
}
