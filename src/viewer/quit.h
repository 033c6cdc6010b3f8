#pragma once
// The viewer's way out: the background work stops, the volumes and vectors
// are released, and the process ends with status 0.
[[noreturn]] void quit_program();
