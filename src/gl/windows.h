#pragma once
// Window creation and event wiring: the only place that registers GLUT
// callbacks and installs the GUI's hooks into the status line and pipeline.

// Creates the top-level window with its menu-bar and status-line
// sub-windows, registers every callback and runs the event loop. Returns
// only when a creation step fails.
void create_windows_and_run(int argc, char** argv);
