// The two text tables: complete, English readable in every code page, shortcuts unambiguous.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "app/texts.h"

namespace {

constexpr Language kLanguages[] = {Language::japanese, Language::english};

std::string conversions(const char* text)
{
    std::string found;
    for (const char* p = std::strchr(text, '%'); p; p = std::strchr(p + 2, '%'))
        found += p[1];
    return found;
}

} // namespace

TEST(Texts, EveryTextInBothLanguagesEnglishAsciiSameConversions)
{
    for (size_t i = 0; i < kTextCount; ++i) {
        const TextId id = static_cast<TextId>(i);
        const char* japanese = textIn(Language::japanese, id);
        const char* english = textIn(Language::english, id);
        EXPECT_NE(japanese[0], '\0') << i;
        EXPECT_NE(english[0], '\0') << i;
        for (const char* p = english; *p; ++p)
            EXPECT_LT(static_cast<unsigned char>(*p), 0x80) << i << ": " << english;
        EXPECT_EQ(conversions(japanese), conversions(english)) << i;
    }
}

TEST(Texts, MenuMnemonicsUniquePerMenu)
{
    const std::set<TextId> menus[] = {
        {TextId::menuFunctionOn, TextId::menuFunctionOff, TextId::menuShowWatchStatus, TextId::menuForcedSuspend,
         TextId::menuSettings, TextId::menuAbout, TextId::menuReadme, TextId::menuExit},
        {TextId::menuStandby, TextId::menuHibernate},
    };
    for (Language language : kLanguages) {
        for (const std::set<TextId>& menu : menus) {
            std::set<int> letters;
            for (TextId id : menu) {
                const char* item = textIn(language, id);
                const char* mark = std::strchr(item, '&');
                ASSERT_NE(mark, nullptr) << item;
                EXPECT_EQ(std::strchr(mark + 1, '&'), nullptr) << item;
                EXPECT_TRUE(letters.insert(std::toupper(static_cast<unsigned char>(mark[1]))).second) << item;
            }
        }
    }
}

TEST(Texts, LanguageFromCodePageAndItsFilesAndTemplates)
{
    EXPECT_EQ(languageForCodePage(932), Language::japanese);
    for (unsigned codePage : {1252u, 936u, 949u, 950u, 1251u, 65001u, 0u})
        EXPECT_EQ(languageForCodePage(codePage), Language::english) << codePage;

    EXPECT_STREQ(text(TextId::readmeFile), "Readme.txt");
    EXPECT_STREQ(dialogTemplate(DialogId::settings), "IDD_TIMESET");
    chooseLanguage(Language::english);
    EXPECT_STREQ(text(TextId::readmeFile), "ReadmeEn.txt");
    EXPECT_EQ(textWith(TextId::deleteListFormat, "FileList.txt"), "Delete \"FileList.txt\"?");
    const char* english[] = {"IDD_TIMESET_EN", "IDD_APPL_EN", "IDD_TITLE_EN", "IDD_README_EN", "IDD_ABOUT_EN",
                             "IDD_CAUTION_EN"};
    for (size_t i = 0; i < static_cast<size_t>(DialogId::count); ++i)
        EXPECT_STREQ(dialogTemplate(static_cast<DialogId>(i)), english[i]);
    chooseLanguage(Language::japanese);
    // A name with a conversion of its own is taken as it is.
    EXPECT_EQ(textWith(TextId::alreadyListedFormat, "a%sb"), "a%sb は、既に登録されています。");
}
