#pragma once

// Writes the view's back buffer as the next screen dump (main window current).
void write_screen_dump();
