#include "platform/x11/x11_functions.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

#include <cstdlib>

namespace {

template <typename Function>
bool look_up(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

const X11Functions* load_x11_functions() {
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (x11 == nullptr) return nullptr;
  static X11Functions table;
  const bool complete = look_up(x11, "XConnectionNumber", table.connection_number) &&
                        look_up(x11, "XEventsQueued", table.events_queued) &&
                        look_up(x11, "XQueryExtension", table.query_extension) &&
                        look_up(x11, "XSetIOErrorHandler", table.set_io_error_handler) &&
                        look_up(x11, "XSetErrorHandler", table.set_error_handler) &&
                        look_up(x11, "XGetErrorText", table.get_error_text) &&
                        look_up(x11, "XGetGeometry", table.get_geometry) &&
                        look_up(x11, "XFlush", table.flush);
  dlclose(x11);  // only drops this reference: SDL's keeps the library, and the pointers, valid
  return complete ? &table : nullptr;
}

const XssFunctions* load_xss_functions() {
  // SDL may have loaded it already; either way this reference is kept, with the pointers.
  void* xss = dlopen("libXss.so.1", RTLD_NOW);
  if (xss == nullptr) return nullptr;
  static XssFunctions table;
  const bool complete = look_up(xss, "XScreenSaverQueryExtension", table.query_extension) &&
                        look_up(xss, "XScreenSaverQueryVersion", table.query_version) &&
                        look_up(xss, "XScreenSaverSuspend", table.suspend);
  return complete ? &table : nullptr;
}

}  // namespace

const XssFunctions* xss_functions() {
  static const XssFunctions* const table = load_xss_functions();
  return table;
}

const X11Functions* x11_functions() {
  static const X11Functions* const table = load_x11_functions();
  return table;
}

X11Window x11_window_of(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return {};
  return {info.info.x11.display, info.info.x11.window};
}

const char* desktop_video_drivers() {
  // Only drivers that put a window on a desktop: without a display SDL would otherwise settle for
  // an invisible off-screen surface. Wayland only when named, as its client library complains on
  // stderr when it finds no compositor.
  return std::getenv("WAYLAND_DISPLAY") ? "x11,wayland" : "x11";
}
