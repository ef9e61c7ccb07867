#pragma once
// The recursive lock that guards the visible page, its dirty lines, the key state and the key ring
// between the drawing thread and the window thread.

void take_presenter_lock();
void release_presenter_lock();
