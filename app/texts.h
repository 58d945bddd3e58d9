// Every text the program shows, in Japanese and in English, looked up by what the text is. The
// language is chosen once at start from the system's ANSI code page: the Japanese texts are code
// page 932 bytes and read correctly only there; everywhere else the English ones, which are plain
// ASCII and so the same in every code page, are shown.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

enum class Language { japanese, english };

enum class TextId {
    // Box captions (also the balloon titles)
    captionNotice,
    captionError,
    // Start-up and shutdown
    alreadyRunningFormat,   // %s: the program's name
    instanceSilent,
    noShutdownPrivilege,
    hotKeyFailed,
    noProcessWatch,
    exiting,
    hookFailed,
    balloonModeNotice,
    trayIconFailed,
    noTimer,
    // Tray menu, and the dialogs' system menus (about, readme)
    menuFunctionOn,
    menuFunctionOff,
    menuShowWatchStatus,
    menuForcedSuspend,
    menuStandby,
    menuHibernate,
    menuSettings,
    menuAbout,
    menuReadme,
    menuExit,
    // Watch status report and balloons
    reportProgramHeader,
    reportTitleHeader,
    nothingFound,
    suspendErrorPrefix,
    noStandbyReason,   // follows the error prefix
    suspendRequestCancelled,
    // Low-resource warning
    cautionFormat,   // %d: the warning level
    // Registry uninstall
    uninstallCaption,
    noRegistryData,
    noSettingsKey,
    confirmDelete,
    programEnds,
    // Settings dialog: monitor choices, refusals and tooltips
    monitorOn,
    monitorOff,
    monitorStandby,
    timeWrong,
    warningLevelWrong,
    stopLevelWrong,
    hotKeyNeedsModifier,
    uninstallTip,
    expandTip,
    oldShellTip,
    noProgramEditTip,
    noTitleEditTip,
    standbyTip,
    hibernateTip,
    noSuspendKindTip,
    resourceWatchTip,
    resourceStopTip,
    warningLevelTip,
    stopLevelTip,
    noResourceMeterTip,
    // List editors
    unsavedQuestion,
    alreadyListedFormat,   // %s: the name
    deleteListFormat,      // %s: the list file's name
    listUnreadableFormat,  // %s: the list file's name
    listTooLargeFormat,    // %s: the list file's name; the limit is 32 KiB
    saveRefusedFormat,     // %s: the list file's name
    fetchError,
    programRunningHeader,
    programWatchedHeader,
    programListEmpty,
    titleRunningHeader,
    titleWatchedHeader,
    titleListEmpty,
    // Window titles as the dialog templates show them; the title watch skips its own windows
    settingsTitle,
    titleEditorTitle,
    readmeTitle,
    // About box
    versionPrefix,
    noVersionBlock,
    // Readme viewer: the help file beside the program and the face it is shown in
    readmeFile,
    readmeFace,
    count
};

constexpr size_t kTextCount = static_cast<size_t>(TextId::count);

// The dialog templates, each with a Japanese and an English twin of the same control ids.
enum class DialogId { settings, programEditor, titleEditor, readme, about, caution, count };

// The language of a system whose ANSI code page is codePage.
Language languageForCodePage(unsigned codePage);

// Chosen once at start, before any window exists; Japanese until then.
void chooseLanguage(Language chosen);
Language currentLanguage();

// The text in the chosen language (never null).
const char* text(TextId id);
const char* textIn(Language language, TextId id);
// A text whose "%s" stands for argument (a name of any length).
std::string textWith(TextId id, std::string_view argument);
// The resource name of the template in the chosen language.
const char* dialogTemplate(DialogId id);
const char* dialogTemplateIn(Language language, DialogId id);
