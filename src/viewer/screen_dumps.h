#pragma once
// The viewer's screen dumps: the next numbered file of the chosen format,
// from the view's pixels and dump buffer (ViewState).
#include "output/screen_dump.h"

using namespace kestrane;

// Writes the next dump, reading the pixels with read. The caller checks that
// dumping is on and the buffer exists. Returns a ScreenDumpResult: without a
// format, dumping switches off with a warning; a file that cannot be opened
// uses up its number.
int write_screen_dump_with(DumpPixelReader read);
