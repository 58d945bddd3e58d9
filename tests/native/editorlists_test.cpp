#include <gtest/gtest.h>

#include "watchlists/editorlists.h"

TEST(EditorLists, OrderIsByUnsignedBytesAndTheColumnNarrowsFrom13Rows)
{
    EXPECT_LT(compareRowTexts("B", "a", false), 0);          // no case folding
    EXPECT_LT(compareRowTexts("z", "\x83\x81", false), 0);   // a lead byte sorts above ASCII
    EXPECT_GT(compareRowTexts("ab", "abc", true), 0);
    EXPECT_EQ(columnWidthFor({136, 119}, 12), 136);
    EXPECT_EQ(columnWidthFor({136, 119}, 13), 119);
}
