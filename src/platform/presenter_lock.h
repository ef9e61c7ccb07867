#pragma once
// The recursive lock that guards the visible page, its dirty lines, the key state and the key ring
// between the drawing thread and the window thread.

void take_presenter_lock();
void release_presenter_lock();

// Takes the lock unless another thread keeps it for longer than timeout_ms; true when taken.
bool try_take_presenter_lock(int timeout_ms);
