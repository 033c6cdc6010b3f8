#include <gtest/gtest.h>

#include <cstring>

#include "menu/help_screens.h"

namespace {

int drawn_rows(int mode)
{
    const HelpRow* rows = help_table(mode);
    int n = 0;
    for (int i = 0; i < HELP_ROW_COUNT; ++i)
        if (rows[i].key[0] != '\0') ++n;
    return n;
}

TEST(HelpScreens, OneTablePerMode)
{
    EXPECT_EQ(help_table(3), nullptr);
    EXPECT_EQ(help_table(-2), nullptr);
    EXPECT_EQ(drawn_rows(-1), 6);
    EXPECT_EQ(drawn_rows(0), 8);
    EXPECT_EQ(drawn_rows(1), 11);
    EXPECT_EQ(drawn_rows(2), 9);
    EXPECT_STREQ(help_table(1)[0].key, "`+'/`-'");
    EXPECT_STREQ(help_table(1)[12].action, "generate morphing sequence");
    EXPECT_STREQ(help_table(0)[12].key, "<enter>");
    EXPECT_STREQ(help_table(2)[3].action, "rotate scene vertical");
    EXPECT_STREQ(help_table(-1)[5].action, "zoom");
    for (int mode = -1; mode <= 2; ++mode) EXPECT_STREQ(help_table(mode)[10].key, "<space>");
    EXPECT_EQ(help_row_y(0), 420);
    EXPECT_EQ(help_row_y(12), 60);
}

}  // namespace
