#pragma once
// The key and mouse bindings the help panel lists, one constant table per
// mode; the GL layer draws them.
#include <cstdint>


// The mouse and key bindings listed by the help panel, one table per mode.
struct HelpRow {
    char key[50];     // empty: a blank line
    char action[50];
};

constexpr int HELP_ROW_COUNT = 13;

// The 13 rows for mode -1, 0, 1 or 2; nullptr for any other mode.
const HelpRow* help_table(int32_t mode);
// Canvas y of row i on the 500 x 500 overlay: line i from the top.
inline int help_row_y(int i) { return 420 - 30 * i; }
