#pragma once
// The X library as SDL loaded it: the program does not link it, so the few functions the window
// side calls are looked up once, into one typed table.
struct SDL_Window;

using X11IoErrorHandler = int (*)(void* display);
// The handler's second argument is the X library's XErrorEvent.
using X11ErrorHandler = int (*)(void* display, void* error_event);

struct X11Functions {
  int (*connection_number)(void* display);
  int (*events_queued)(void* display, int mode);
  int (*query_extension)(void* display, const char* name, int* opcode, int* event, int* error);
  X11IoErrorHandler (*set_io_error_handler)(X11IoErrorHandler handler);
  X11ErrorHandler (*set_error_handler)(X11ErrorHandler handler);
  int (*get_error_text)(void* display, int code, char* text, int length);
  int (*get_geometry)(void* display, unsigned long drawable, unsigned long* root, int* x, int* y,
                      unsigned* width, unsigned* height, unsigned* border, unsigned* depth);
  int (*flush)(void* display);
};

// The table, filled on the first call; null when SDL has not loaded the X library (another window
// system) or it lacks one of the functions. The library stays loaded for the process's life.
const X11Functions* x11_functions();

// The X ScreenSaver extension's client library: its suspension lasts only as long as the
// connection that asked for it, so it cannot outlive the process.
struct XssFunctions {
  int (*query_extension)(void* display, int* event_base, int* error_base);
  int (*query_version)(void* display, int* major, int* minor);
  void (*suspend)(void* display, int suspend);
};

// The table, filled on the first call; null when the library is not installed or lacks one of
// the functions. The library stays loaded for the process's life.
const XssFunctions* xss_functions();

// An SDL window's X connection (Display*) and window id; both 0 when it is not on X.
struct X11Window {
  void* display = nullptr;
  unsigned long window = 0;
};
X11Window x11_window_of(SDL_Window* window);

// The video drivers SDL may try when the user named none; null: SDL's own choice.
const char* desktop_video_drivers();
