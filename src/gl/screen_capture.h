#pragma once
// The next screen dump from the view's back buffer (main window current).
void write_screen_dump();
