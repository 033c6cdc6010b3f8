#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/status.h"
#include "menu/menu_state.h"
#include "menu/menu_table.h"

namespace {

class MenuStateTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        app.mode = -1;
        status_reset();
        menu_state_reset();
    }
    void TearDown() override { status_reset(); }

    void type(const std::string& text)
    {
        for (char c : text) menu_edit_key(static_cast<unsigned char>(c));
    }
};

TEST(FieldWindow, VisibleCharactersPerWidth)
{
    // Field widths of the table show 16, 6, 11 and 29 characters.
    EXPECT_EQ(field_visible_range(140, 100, -1).end, 16);
    EXPECT_EQ(field_visible_range(60, 100, -1).end, 6);
    EXPECT_EQ(field_visible_range(100, 100, -1).end, 11);
    EXPECT_EQ(field_visible_range(240, 100, -1).end, 29);
}

TEST(FieldWindow, ScrollsWithTheCursor)
{
    FieldWindow w = field_visible_range(140, 40, 40);
    EXPECT_EQ(w.start, 24);
    EXPECT_EQ(w.end, 40);
    w = field_visible_range(140, 40, 3);  // near the start
    EXPECT_EQ(w.start, 0);
    EXPECT_EQ(w.end, 16);
    w = field_visible_range(140, 40, 20);  // centred on the cursor
    EXPECT_EQ(w.start, 12);
    EXPECT_EQ(w.end, 28);
    w = field_visible_range(140, 5, 5);  // short text: never beyond its ends
    EXPECT_EQ(w.start, 0);
    EXPECT_EQ(w.end, 5);
    w = field_visible_range(140, 0, 0);
    EXPECT_EQ(w.start, 0);
    EXPECT_EQ(w.end, 0);
}

TEST_F(MenuStateTest, ButtonsOpenAndCloseLevels)
{
    EXPECT_EQ(update_menu_height(), 25);
    menu_select(0);  // File
    EXPECT_EQ(menu_state.open_list[0], 6);
    EXPECT_EQ(update_menu_height(), 50);
    menu_state.open_button[0] = 0;  // recorded by drawing
    menu_select(6);                 // Open
    EXPECT_EQ(menu_state.open_list[1], 10);
    EXPECT_EQ(update_menu_height(), 75);
    menu_state.open_button[1] = 6;
    menu_select(6);  // Open again closes level 2 only
    EXPECT_EQ(menu_state.open_list[1], -1);
    EXPECT_EQ(menu_state.open_button[1], -1);
    EXPECT_EQ(menu_state.open_list[0], 6);
    menu_select(8);  // Save Screen
    menu_state.open_button[1] = 8;
    menu_select(0);  // File closes everything
    EXPECT_EQ(menu_state.open_list[0], -1);
    EXPECT_EQ(menu_state.open_list[1], -1);
    EXPECT_EQ(update_menu_height(), 25);
}

TEST_F(MenuStateTest, EditingAFieldAndCommittingWithEnter)
{
    app.dump_base = "old";
    menu_select(17);  // File name:
    ASSERT_TRUE(menu_editing());
    EXPECT_STREQ(menu_state.edit_buffer, "old");
    EXPECT_EQ(menu_state.edit_cursor, 3);
    menu_edit_move(-1);
    menu_edit_move(-1);
    type("X");  // inserted before the cursor
    EXPECT_STREQ(menu_state.edit_buffer, "oXld");
    EXPECT_EQ(menu_state.edit_cursor, 2);
    menu_edit_key(8);
    EXPECT_STREQ(menu_state.edit_buffer, "old");
    menu_edit_move(-1);
    menu_edit_move(-1);  // stops at 0
    EXPECT_EQ(menu_state.edit_cursor, 0);
    menu_edit_key(127);  // nothing before the cursor
    EXPECT_STREQ(menu_state.edit_buffer, "old");
    for (int i = 0; i < 5; ++i) menu_edit_move(+1);
    EXPECT_EQ(menu_state.edit_cursor, 3);
    EXPECT_FALSE(menu_edit_key(9));  // not printable: ignored, no redraw
    type("er");
    EXPECT_TRUE(menu_edit_key(13));
    EXPECT_FALSE(menu_editing());
    EXPECT_EQ(app.dump_base, "older");
    EXPECT_STREQ(status_line.notice_text, "Use space bar to toggle screen dump");
}

TEST_F(MenuStateTest, KeysAreIgnoredWithoutAnEdit)
{
    EXPECT_FALSE(menu_edit_key('a'));
    EXPECT_FALSE(menu_edit_move(-1));
    EXPECT_STREQ(menu_state.edit_buffer, "");
}

TEST_F(MenuStateTest, ClickCommitsThenActs)
{
    menu_select(26);  // Alias:
    std::strcpy(menu_state.edit_buffer, "25");
    menu_state.edit_cursor = 2;
    menu_commit_edit();
    EXPECT_FALSE(menu_editing());
    EXPECT_EQ(app.antialias_distance, 10.0);
    menu_commit_edit();  // nothing more to commit
    EXPECT_STREQ(status_line.notice_text, "Maximum antialiasing distance is 10.0");
    bool help = app.show_help;
    menu_select(4);  // Help toggle
    EXPECT_NE(app.show_help, help);
}

TEST_F(MenuStateTest, FullBufferRefusesMoreCharacters)
{
    menu_select(17);
    type(std::string(250, 'a'));
    EXPECT_EQ(std::strlen(menu_state.edit_buffer), static_cast<size_t>(EDIT_CAPACITY - 1));
    EXPECT_EQ(menu_state.edit_cursor, EDIT_CAPACITY - 1);
    menu_edit_move(-1);
    type("b");  // still refused in the middle
    EXPECT_EQ(std::strchr(menu_state.edit_buffer, 'b'), nullptr);
    menu_edit_key(8);
    type("b");
    EXPECT_EQ(menu_state.edit_buffer[EDIT_CAPACITY - 3], 'b');
    EXPECT_EQ(std::strlen(menu_state.edit_buffer), static_cast<size_t>(EDIT_CAPACITY - 1));
}

TEST_F(MenuStateTest, LongValuesAreCutToTheBuffer)
{
    app.dump_base = std::string(500, 'z');
    menu_select(17);
    EXPECT_EQ(std::strlen(menu_state.edit_buffer), static_cast<size_t>(EDIT_CAPACITY - 1));
    EXPECT_EQ(menu_state.edit_cursor, EDIT_CAPACITY - 1);
}

TEST(MenuTable, ListsAreWellFormed)
{
    EXPECT_EQ(menu_items[MENU_ROW_COUNT - 1].kind, ITEM_END);
    int ends = 0;
    for (int row = 0; row < MENU_ROW_COUNT; ++row) {
        const MenuItem& item = menu_items[row];
        if (item.kind == ITEM_END) ++ends;
        if (item.kind == ITEM_BUTTON) {
            ASSERT_GT(item.child, 0);
            // A child list starts right after an ITEM_END row.
            EXPECT_EQ(menu_items[item.child - 1].kind, ITEM_END) << item.label;
        } else {
            EXPECT_EQ(item.child, -1) << row;
        }
        if (item.kind == ITEM_TOGGLE || item.kind == ITEM_FIELD) {
            EXPECT_NE(item.render, nullptr) << item.label;
            EXPECT_NE(item.apply, nullptr) << item.label;
        }
        if (item.kind == ITEM_FIELD) {
            EXPECT_LT(item.label_offset, 0) << item.label;
        }
    }
    EXPECT_EQ(ends, 8);
    EXPECT_STREQ(menu_items[23].label, "Transform:");
    EXPECT_EQ(menu_items[23].width, 240);
    EXPECT_STREQ(menu_items[34].label, "Background:");
    EXPECT_EQ(menu_items[34].x, 365);
}

}  // namespace
