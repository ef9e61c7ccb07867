#pragma once
// What the window system has sent since the last event pump. SDL's pump costs about a dozen
// system calls even when nothing arrived; the window thread sleeps on the connection instead and
// pumps when something came.
struct SDL_Window;

struct DisplayInput {
  void* display = nullptr;  // the X connection; null: unknown, so the ceiling paces the pumps
  int fd = -1;
  int (*events_queued)(void* display, int mode) = nullptr;
};

// After the window exists, on the thread that pumps its events.
DisplayInput watch_display_input(SDL_Window* window);

// True when events were already read from the connection and wait in the library's queue, where
// waiting on the connection would not see them.
bool display_input_queued(const DisplayInput& input);
