#include <gtest/gtest.h>

#include "menu/help_screens.h"

namespace {

TEST(HelpScreens, OneTablePerModeWithTheSpaceBarRowInEach)
{
    EXPECT_EQ(help_table(3), nullptr);
    EXPECT_EQ(help_table(-2), nullptr);
    const int drawn[4] = {6, 8, 11, 9};
    for (int mode = -1; mode <= 2; ++mode) {
        const HelpRow* rows = help_table(mode);
        int n = 0;
        for (int i = 0; i < HELP_ROW_COUNT; ++i) n += rows[i].key[0] != '\0';
        EXPECT_EQ(n, drawn[mode + 1]) << mode;
        EXPECT_STREQ(rows[10].key, "<space>");
    }
    EXPECT_EQ(help_row_y(0), 420);
    EXPECT_EQ(help_row_y(12), 60);
}

}  // namespace
