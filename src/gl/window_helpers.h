#pragma once
// The GLUT windows and the few window operations other GL files need.
#include <cstdint>


// GLUT window identifiers; 0 while the window does not exist.
extern int32_t main_window;
extern int32_t menu_window;
extern int32_t status_window;

// Make the main window (the 3-D view) the current GLUT window.
void select_view();
// Select the main window and draw the scene at once.
void redraw_view();
// Show frame `index` of the sequence now.
void show_frame(int32_t index);
// The fatal state: only the status line reacts to input from now on.
void disable_interaction();
