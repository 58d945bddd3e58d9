#include <gtest/gtest.h>
#include <windows.h>

TEST(Smoke, CodePageIs932)
{
    EXPECT_EQ(GetACP(), 932u);
}
