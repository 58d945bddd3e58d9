// The two text tables: complete, English readable in every code page, the same conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/texts.h"

TEST(Texts, EveryTextInBothLanguagesEnglishAsciiSameConversions)
{
    auto conversions = [](const char* text) {
        return std::string(std::strstr(text, "%s") ? "s" : "") + (std::strstr(text, "%d") ? "d" : "");
    };
    for (size_t i = 0; i < kTextCount; ++i) {
        const char* japanese = textIn(Language::japanese, static_cast<TextId>(i));
        const char* english = textIn(Language::english, static_cast<TextId>(i));
        EXPECT_TRUE(japanese[0] && english[0]) << i;
        for (const char* p = english; *p; ++p)
            EXPECT_LT(static_cast<unsigned char>(*p), 0x80) << i << ": " << english;
        EXPECT_EQ(conversions(japanese), conversions(english)) << i;
    }
}

TEST(Texts, LanguageFromCodePageChoosesTexts)
{
    EXPECT_EQ(std::vector<Language>({languageForCodePage(932), languageForCodePage(1252), languageForCodePage(936)}),
              std::vector<Language>({Language::japanese, Language::english, Language::english}));
    chooseLanguage(Language::english);
    EXPECT_STREQ(text(TextId::readmeFile), "ReadmeEn.txt");
    EXPECT_EQ(textWith(TextId::deleteListFormat, "FileList.txt"), "Delete \"FileList.txt\"?");
    chooseLanguage(Language::japanese);
    EXPECT_EQ(textWith(TextId::alreadyListedFormat, "a%sb"), "a%sb は、既に登録されています。");
}
