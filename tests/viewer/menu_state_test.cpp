#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "viewer/menu_state.h"
#include "viewer/menu_table.h"
#include "app/app_state.h"
#include "app/status.h"
#include "viewer/view_state.h"

using namespace kestrane;

namespace {

// A field's row, found by its label: the rows after a list move when it grows.
int row_of(const char* label)
{
    for (int row = 0; row < MENU_ROW_COUNT; ++row)
        if (std::strcmp(menu_items[row].label, label) == 0) return row;
    ADD_FAILURE() << "no row " << label;
    return 0;
}

class MenuStateTest : public testing::Test {
protected:
    void SetUp() override
    {
        app_state_init();
        view.mode = MODE_NOTHING_LOADED;
        status_reset();
        menu_state_reset();
    }
    void TearDown() override { status_reset(); }

    void type(const std::string& text)
    {
        for (char c : text) menu_edit_key(static_cast<unsigned char>(c));
    }
};

TEST(FieldWindow, VisibleWindowFollowsWidthAndCursor)
{
    struct Case {
        int width, length, cursor, start, end;
    } cases[] = {
        // The table's field widths show 16, 6, 11 and 29 characters.
        {140, 100, -1, 0, 16}, {60, 100, -1, 0, 6}, {100, 100, -1, 0, 11}, {240, 100, -1, 0, 29},
        {140, 40, 40, 24, 40},  // cursor at the end
        {140, 40, 3, 0, 16},    // near the start
        {140, 40, 20, 12, 28},  // centred on the cursor
        {140, 5, 5, 0, 5},      // short text: never beyond its ends
        {140, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FieldWindow w = field_visible_range(c.width, c.length, c.cursor);
        EXPECT_EQ(w.start, c.start) << c.width << " " << c.length << " " << c.cursor;
        EXPECT_EQ(w.end, c.end) << c.width << " " << c.length << " " << c.cursor;
    }
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
    EXPECT_FALSE(menu_edit_key('a'));  // no edit open: keys are ignored
    EXPECT_FALSE(menu_edit_move(-1));
    view.dump_base = "old";
    menu_select(row_of("File name:"));
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
    EXPECT_EQ(view.dump_base, "older");
    EXPECT_STREQ(status_line.notice_text, "Use space bar to toggle screen dump");
}

TEST_F(MenuStateTest, ClickCommitsThenActs)
{
    menu_select(row_of("Alias:"));
    std::strcpy(menu_state.edit_buffer, "25");
    menu_state.edit_cursor = 2;
    menu_commit_edit();
    EXPECT_FALSE(menu_editing());
    EXPECT_EQ(app.antialias_distance, 10.0);
    menu_commit_edit();  // nothing more to commit
    EXPECT_STREQ(status_line.notice_text, "Maximum antialiasing distance is 10.0");
    bool help = view.show_help;
    menu_select(4);  // Help toggle
    EXPECT_NE(view.show_help, help);
}

TEST_F(MenuStateTest, BufferHoldsAtMostItsCapacity)
{
    view.dump_base = std::string(500, 'z');  // long values are cut
    menu_select(row_of("File name:"));
    EXPECT_EQ(std::strlen(menu_state.edit_buffer), static_cast<size_t>(EDIT_CAPACITY - 1));
    EXPECT_EQ(menu_state.edit_cursor, EDIT_CAPACITY - 1);
    type("ab");  // refused at the end
    menu_edit_move(-1);
    type("b");  // and in the middle
    EXPECT_EQ(std::strpbrk(menu_state.edit_buffer, "ab"), nullptr);
    menu_edit_key(8);
    type("b");
    EXPECT_EQ(menu_state.edit_buffer[EDIT_CAPACITY - 3], 'b');
    EXPECT_EQ(std::strlen(menu_state.edit_buffer), static_cast<size_t>(EDIT_CAPACITY - 1));
}

}  // namespace
