#include "app/texts.h"

namespace {

struct TextPair {
    TextId id;
    const char* japanese;   // code page 932 (the source is UTF-8, compiled to 932)
    const char* english;    // ASCII only
};

// One row per text, in the order of TextId, so that each text stands beside its twin. The
// Japanese side is the program's historical wording, byte for byte; the English side uses the
// words Windows itself uses. The ideographic space in 設　定 and 終　了 and the half-width
// katakana of ﾊﾞｰｼﾞｮﾝ belong to the texts, and so does the spelling of " : Unkown".
constexpr TextPair kTexts[] = {
    {TextId::captionNotice, "Somnivar", "Somnivar"},
    {TextId::captionError, "Somnivar - Error", "Somnivar - Error"},

    {TextId::alreadyRunningFormat, "%s は既に起動されています。", "%s is already running."},
    {TextId::instanceSilent, "起動中の Somnivar が応答しません。\n要求は取り消されました。",
     "The running Somnivar does not answer.\nThe request was cancelled."},
    {TextId::noShutdownPrivilege,
     "誠に申し訳御座いませんが、現在のシステムまたは\nアカウントでは、サスペンドが実行できません。",
     "Sorry, this system or this user account\ncannot suspend the computer."},
    {TextId::hotKeyFailed, "ホットキーの設定ができませんでした", "The hot key could not be registered."},
    {TextId::noProcessWatch, "現在、プログラム監視ができない状態です。", "Running programs cannot be watched at present."},
    {TextId::exiting, "終了します。", "Somnivar will now exit."},
    {TextId::hookFailed, "マウス・キーボードをフックできませんでした。", "The mouse and keyboard hooks could not be installed."},
    {TextId::balloonModeNotice, "サスペンドエラーメッセージは、ここに表示されます", "Suspend errors will be shown here."},
    {TextId::trayIconFailed, "タスクトレイにアイコンを登録できませんでした",
     "The icon could not be added to the notification area."},
    {TextId::noTimer, "タイマーが確保できません。", "No timer is available."},

    {TextId::menuFunctionOn, "機能をONにする (&E)", "&Enable"},
    {TextId::menuFunctionOff, "機能をOFFにする (&O)", "&Disable"},
    {TextId::menuShowWatchStatus, "現在の監視ステータスを表示(&Q)", "Show &watch status"},
    {TextId::menuForcedSuspend, "強制サスペンド (&U)", "Suspend &now"},
    {TextId::menuStandby, "スタンバイ (&N)", "&Standby"},
    {TextId::menuHibernate, "休止 (&M)", "&Hibernate"},
    {TextId::menuSettings, "設　定 (&S)", "&Settings..."},
    // The English letters are those of the English dialog shortcuts (Alt+B, Alt+V).
    {TextId::menuAbout, "ﾊﾞｰｼﾞｮﾝ情報 (&V)", "A&bout Somnivar..."},
    {TextId::menuReadme, "Readme.txt の表示 (&B)", "&View Readme"},
    {TextId::menuExit, "終　了 (&X)", "E&xit"},

    {TextId::reportProgramHeader, "・監視プログラム名\n", "Watched programs:\n"},
    {TextId::reportTitleHeader, "・監視タイトル名\n", "Watched titles:\n"},
    {TextId::nothingFound, "監視対象は見つかりません", "No watched program or title is open."},
    {TextId::suspendErrorPrefix, "サスペンドできませんでした。\n理由：", "Could not suspend.\nReason: "},
    {TextId::noStandbyReason, "このコンピュータはスタンバイに対応していません。", "This computer does not support standby."},
    {TextId::suspendRequestCancelled, "サスペンド要求はキャンセルされました", "A suspend request was cancelled."},

    {TextId::cautionFormat, "リソースが %d %% 以下になりました。", "Free resources are at %d %% or less."},

    {TextId::uninstallCaption, "Somnivar レジストリ・アンインストール", "Somnivar - Uninstall"},
    {TextId::noRegistryData, "削除するレジストリデータがありません。", "There are no registry data to delete."},
    {TextId::noSettingsKey, "設定保存用のレジストリデータがありません。", "The registry holds no stored settings."},
    {TextId::confirmDelete, "Somnivar の設定をレジストリより削除しますか？",
     "Delete the Somnivar settings from the registry?"},
    {TextId::programEnds, "プログラムを終了します。", "Somnivar will now exit."},

    {TextId::monitorOn, "モニタはオン", "Leave the monitor on"},
    {TextId::monitorOff, "モニタはオフ", "Turn the monitor off"},
    {TextId::monitorStandby, "モニタはスタンバイ", "Put the monitor on standby"},
    {TextId::timeWrong, "設定時間に誤りがあります。", "The time must be 1 to 60 minutes."},
    {TextId::warningLevelWrong, "リソース監視警告表示残量に誤りがあります。",
     "The resource warning level must be 1 to 100."},
    {TextId::stopLevelWrong, "自動無効リソース残量に誤りがあります。", "The switch-off level must be 1 to 100."},
    {TextId::hotKeyNeedsModifier, "ホットキーには Ctrl か Alt を含めて下さい。\n（ファンクションキーは単独でも設定できます）",
     "The hot key needs Ctrl or Alt.\n(A function key may be used alone.)"},
    {TextId::uninstallTip, "アンインストールです。", "Removes the settings from the registry and exits."},
    {TextId::expandTip,
     "ダイヤルアップ ネットワーク接続時や、他のコンピュータが接続時に\n"
     "サスペンドさせるか、キャンセルさせるかを設定します。",
     "While a dial-up connection is up or other computers use this one,\n"
     "suspend anyway or cancel the suspend."},
    {TextId::oldShellTip, "Shell32.dllのVerが5.0以下なので、使用できません。",
     "Not available: Shell32.dll is older than version 5.0."},
    {TextId::noProgramEditTip, "現在のシステムでは取得・編集ができません。\n手動にて FileList.txt を編集して下さい。",
     "Programs cannot be listed on this system.\nEdit FileList.txt by hand."},
    {TextId::noTitleEditTip, "現在のシステムでは取得・編集ができません。\n手動にて TitleList.txt を編集して下さい。",
     "Window titles cannot be listed on this system.\nEdit TitleList.txt by hand."},
    {TextId::standbyTip, "「スタンバイ」をサスペンド動作に設定します。", "Suspend puts the computer on standby."},
    {TextId::hibernateTip, "「休止」をサスペンド動作に設定します。", "Suspend hibernates the computer."},
    {TextId::noSuspendKindTip, "NT系OSではないので、サスペンドの種類を選べません。",
     "The kind of suspend can be chosen on Windows NT, 2000 and later only."},
    {TextId::resourceWatchTip, "リソース量が設定値以下になると、警告を表示することができます。",
     "Warns when free resources fall to the level or below."},
    {TextId::resourceStopTip, "リソース量により、サスペンド機能を無効にすることができます。",
     "Disables the automatic suspend while free resources are low."},
    {TextId::warningLevelTip, "設定数値以下になると警告を表示します。", "A warning is shown at this level or below."},
    {TextId::stopLevelTip, "設定数値以下になるとサスペンドを中止します。", "No suspend happens at this level or below."},
    {TextId::noResourceMeterTip, "現在のシステムではリソースを参照できません。",
     "Free resources cannot be read on this system."},

    {TextId::unsavedQuestion, "監視リストが更新されていますが、保存されていません。\n終了しても宜しいですか？",
     "The watch list has changed and is not saved.\nClose it anyway?"},
    {TextId::alreadyListedFormat, "%s は、既に登録されています。", "%s is already in the list."},
    {TextId::deleteListFormat, "\"%s\" を削除しても良いですか？", "Delete \"%s\"?"},
    {TextId::listUnreadableFormat,
     "\"%s\" を読み込めませんでした。\n元のリストを失わないよう、この画面では保存できません。",
     "\"%s\" could not be read.\nSo that the list is not lost, it cannot be saved from this window."},
    {TextId::listTooLargeFormat,
     "\"%s\" は 32 KB を超えているため読み込めません。\n元のリストを失わないよう、この画面では保存できません。",
     "\"%s\" is larger than 32 KB and cannot be read.\nSo that the list is not lost, it cannot be saved from this window."},
    {TextId::saveRefusedFormat, "\"%s\" を読み込めなかったため、保存しません。\n画面を閉じて開き直してください。",
     "\"%s\" could not be read, so it is not saved.\nClose this window and open it again."},
    {TextId::fetchError, "取得エラー", "(cannot be listed)"},
    {TextId::programRunningHeader, "実行中プログラム", "Running programs"},
    {TextId::programWatchedHeader, "監視プログラム", "Watched programs"},
    {TextId::programListEmpty, "監視プログラムリストにプログラム名がありません",
     "The program watch list holds no program names."},
    {TextId::titleRunningHeader, "実行中タイトル", "Open windows"},
    {TextId::titleWatchedHeader, "監視タイトル", "Watched titles"},
    {TextId::titleListEmpty, "監視タイトルリストにタイトル名がありません", "The title watch list holds no titles."},

    {TextId::settingsTitle, "Somnivar の設定", "Somnivar Settings"},
    {TextId::titleEditorTitle, "監視タイトルの追加・削除", "Watched Window Titles"},
    {TextId::readmeTitle, "Somnivar - Readme.txt", "Somnivar - Readme"},

    {TextId::versionPrefix, "Version ", "Version "},
    {TextId::noVersionBlock, " : Unkown", "unknown"},

    {TextId::readmeFile, "Readme.txt", "ReadmeEn.txt"},
    {TextId::readmeFace, "ＭＳ ゴシック", "Courier New"},
};

constexpr bool inIdOrder()
{
    for (size_t i = 0; i < sizeof(kTexts) / sizeof(kTexts[0]); ++i) {
        if (static_cast<size_t>(kTexts[i].id) != i)
            return false;
    }
    return true;
}
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == kTextCount, "every text has a row");
static_assert(inIdOrder(), "the rows follow the order of TextId");

struct TemplatePair {
    DialogId id;
    const char* japanese;
    const char* english;
};

constexpr TemplatePair kTemplates[] = {
    {DialogId::settings, "IDD_TIMESET", "IDD_TIMESET_EN"}, {DialogId::programEditor, "IDD_APPL", "IDD_APPL_EN"},
    {DialogId::titleEditor, "IDD_TITLE", "IDD_TITLE_EN"},  {DialogId::readme, "IDD_README", "IDD_README_EN"},
    {DialogId::about, "IDD_ABOUT", "IDD_ABOUT_EN"},        {DialogId::caution, "IDD_CAUTION", "IDD_CAUTION_EN"},
};
static_assert(sizeof(kTemplates) / sizeof(kTemplates[0]) == static_cast<size_t>(DialogId::count),
              "every dialog has its twins");

Language chosenLanguage = Language::japanese;

} // namespace

Language languageForCodePage(unsigned codePage)
{
    return codePage == 932 ? Language::japanese : Language::english;
}

void chooseLanguage(Language chosen)
{
    chosenLanguage = chosen;
}

Language currentLanguage()
{
    return chosenLanguage;
}

const char* textIn(Language language, TextId id)
{
    const size_t index = static_cast<size_t>(id);
    if (index >= kTextCount)
        return "";
    return language == Language::english ? kTexts[index].english : kTexts[index].japanese;
}

const char* text(TextId id)
{
    return textIn(chosenLanguage, id);
}

std::string textWith(TextId id, std::string_view argument)
{
    std::string result = text(id);
    const size_t place = result.find("%s");
    if (place != std::string::npos)
        result.replace(place, 2, argument);
    return result;
}

const char* dialogTemplateIn(Language language, DialogId id)
{
    for (const TemplatePair& twins : kTemplates) {
        if (twins.id == id)
            return language == Language::english ? twins.english : twins.japanese;
    }
    return "";
}

const char* dialogTemplate(DialogId id)
{
    return dialogTemplateIn(chosenLanguage, id);
}
