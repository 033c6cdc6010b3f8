#pragma once
// Ctrl-C and SIGTERM in the batch tool. The first signal asks the run to
// stop after the file being written (the driver checks between files); a
// second one ends the process at once, removing the temporary file being
// written, with status 128 + the signal's number.
//
// An import of a mesh file under way is not a file being written: the
// first signal kills its reader at once, and the run ends with the
// signal's status, nothing written.

// Installs the handlers, hands the morph the flag its imports watch, and
// sets their deadline from KESTRANE_IMPORT_SECONDS when that is a positive
// number (60 s otherwise). Call after the command line is parsed.
void install_interrupt_handlers();
// The signal that asked the run to stop, or 0.
int interrupt_signal();
// 130 for SIGINT, 143 for SIGTERM: the status of a run stopped by it.
int interrupt_exit_status(int signal_number);
