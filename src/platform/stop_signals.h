#pragma once
// A long job that the usual ways of stopping a program (Ctrl+C, kill, the terminal closing,
// Ctrl+\, a reader going away) end cleanly: the signals are noted instead of ending the process,
// and the job asks now and then whether one came.

// From now until release_stop_signals: SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE are noted;
// SIGXFSZ is ignored, so that going over the file size limit fails a write instead.
void catch_stop_signals();

// The number of the first signal noted since catch_stop_signals, or 0.
int caught_stop_signal();

// The handlers from before catch_stop_signals back.
void release_stop_signals();

// Whether standard error is a terminal (where progress may be redrawn in place).
bool standard_error_is_terminal();
