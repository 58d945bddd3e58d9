// The two text tables: complete, English readable in every code page, the same conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/texts.h"

TEST(Texts, EveryTextInBothLanguagesEnglishAsciiSameConversions)
{
    auto conversions = [](const char* text) {
        std::string found;
        for (const char* p = std::strchr(text, '%'); p; p = std::strchr(p + 2, '%'))
            found += p[1];
        return found;
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
    EXPECT_EQ(languageForCodePage(932), Language::japanese);
    for (unsigned codePage : {1252u, 936u, 949u, 1251u, 65001u, 0u})
        EXPECT_EQ(languageForCodePage(codePage), Language::english) << codePage;
    chooseLanguage(Language::english);
    EXPECT_STREQ(text(TextId::readmeFile), "ReadmeEn.txt");
    EXPECT_EQ(textWith(TextId::deleteListFormat, "FileList.txt"), "Delete \"FileList.txt\"?");
    chooseLanguage(Language::japanese);
    EXPECT_EQ(textWith(TextId::alreadyListedFormat, "a%sb"), "a%sb は、既に登録されています。");
}
