#pragma once

// Writes the view's back buffer as the next screen dump (main window current).
void write_screen_dump();
// The view's drawing calls this after the scene is drawn and before the swap:
// writes a dump when dumping is on and the dump buffer exists.
void dump_screen_if_enabled();
