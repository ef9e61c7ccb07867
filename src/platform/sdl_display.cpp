// The "SDL" back end: a window thread that owns an SDL window, shows the visible page's changed
// lines and gathers the keyboard.
#include <SDL2/SDL.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/display_driver.h"
#include "platform/display_input.h"
#include "platform/keyboard.h"
#include "platform/picture_output.h"
#include "platform/presenter_lock.h"
#include "platform/retrace_pacer.h"
#include "platform/scan_codes.h"
#include "platform/sdl_key_events.h"
#include "platform/window_start.h"
#include "platform/x11_functions.h"

namespace {
using Clock = std::chrono::steady_clock;

// The start flags this back end acts on.
constexpr int kFullscreen = 0x01;
constexpr int kFixedMode = 0x04;
constexpr int kBorderless = 0x08;
constexpr int kTopmost = 0x20;
constexpr int kThreadBoost = 0x80;

constexpr auto kCycle = std::chrono::milliseconds(10);
// The longest the drawing thread lets the window thread go first to fetch a finished frame.
constexpr auto kHandoffLimit = std::chrono::milliseconds(2);
// The longest a cycle without a frame skips SDL's event pump when nothing came from the window
// system: the pump also turns SIGINT and SIGTERM into close requests.
constexpr auto kPumpLimit = std::chrono::milliseconds(50);
// The window thread's longest wait for the presenter lock before it looks at the running flag.
constexpr int kLockWaitMs = 10;

char error_text[512] = "";

// Without a session bus, SDL's D-Bus connection makes the D-Bus library fork a helper to launch
// one: a bus daemon that would outlive the intro, and a fork out of a process whose module decoder
// runs beside the window's start (a sanitizer build's allocator can deadlock the child). The
// window system's own screen-saver calls still serve. Before main, while no thread runs.
const bool session_bus_not_autolaunched = [] {
  if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr)
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
  return true;
}();

// What the drawing thread and the window thread share besides the presenter lock. Never freed, so
// a window thread left running at exit never touches a destroyed object.
struct Shared {
  std::mutex mutex;
  std::condition_variable wake_window;   // the window thread waits on it between cycles
  std::condition_variable wake_drawing;  // the drawing thread waits on it at start and handoff
  bool started = false;                  // the window exists
  bool ended = false;                    // the window thread gave up before that
  bool frame_ready = false;              // a frame was finished: cycle now, not at the next tick
  std::atomic<bool> running{false};
  std::atomic<bool> retrace_passed{false};  // await_retrace returned; the next release hands over
  std::atomic<bool> handoff{false};         // the drawing thread lets the window thread lock first
};
Shared& shared() {
  static Shared* s = new Shared;
  return *s;
}

struct Settings {
  std::string title;
  int width = 0;
  int height = 0;
  int flags = 0;
  Uint32 pixel_format = 0;
  const DisplayView* view = nullptr;
};
Settings settings;
std::thread* window_thread = nullptr;
RetracePacer pacer;

// Owned by the window thread alone.
struct Window {
  bool video_started = false;
  SDL_Window* window = nullptr;
  PictureOutput output;
  DisplayInput input;
  bool needs_present = true;
  bool focused = true;
  bool minimised = false;
  bool active = true;
  bool fullscreen = false;
  bool toggle_requested = false;
  int key_modifiers = 0;  // of the last key event, for the text it produces
};

// The failed step and SDL's own reason, e.g. "no display: No available video device".
void set_error(const char* step) {
  std::snprintf(error_text, sizeof error_text, "%s: %s", step, SDL_GetError());
}

void raise_priority(bool raised) {
  // Where the system refuses (no privilege), the thread keeps its normal priority.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), raised ? -5 : 0);
}

void set_icon(SDL_Window* window, const WindowStart& start) {
  if (start.icon == nullptr || start.icon_size <= 0) return;
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(start.icon), start.icon_size, start.icon_size, 32, start.icon_size * 4,
      SDL_PIXELFORMAT_ARGB8888);
  if (icon == nullptr) return;  // a window without its icon still serves
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

int display_refresh_rate(SDL_Window* window) {
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
  return mode.refresh_rate;
}

// Losing the display's connection makes the X library end the process from the window thread,
// while the drawing thread and the exit handlers still run: a crash. End at once instead, with a
// line that says why. The library is already loaded by SDL; nothing is linked for this.
int on_display_connection_lost(void*) {
  static const char kMessage[] = "intro: lost the connection to the display\n";
  (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  _exit(1);
}

void end_cleanly_when_the_display_goes() {
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) return;
  using Handler = int (*)(void*);
  using SetHandler = Handler (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(x11_function("XSetIOErrorHandler")))
    set(on_display_connection_lost);
}

bool open_window(Window& w) {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // a close request must not end anything
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_GetHint(SDL_HINT_VIDEODRIVER) == nullptr) {
    // Only drivers that put a window on a desktop: without a display SDL would otherwise settle
    // for an invisible off-screen surface. Wayland only when named, as its client library
    // complains on stderr when it finds no compositor.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, std::getenv("WAYLAND_DISPLAY") ? "x11,wayland" : "x11");
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    set_error("no display");
    return false;
  }
  w.video_started = true;
  end_cleanly_when_the_display_goes();
  Uint32 window_flags = 0;
  if (settings.flags & kBorderless) window_flags |= SDL_WINDOW_BORDERLESS;
  if (settings.flags & kTopmost) window_flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  if (settings.flags & kFullscreen) window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  w.fullscreen = settings.flags & kFullscreen;
  const WindowStart& start = window_start();
  const int display = start.display < SDL_GetNumVideoDisplays() ? start.display : -1;
  const int position =
      display >= 0 ? SDL_WINDOWPOS_CENTERED_DISPLAY(display) : SDL_WINDOWPOS_CENTERED;
  w.window =
      SDL_CreateWindow(settings.title.c_str(), position, position, settings.width * start.scale,
                       settings.height * start.scale, window_flags);
  if (w.window == nullptr) {
    set_error("no window");
    return false;
  }
  set_icon(w.window, start);
  if (!open_picture_output(w.output, w.window, settings.pixel_format, settings.width,
                           settings.height)) {
    set_error("no picture output");
    return false;
  }
  w.input = watch_display_input(w.window);
  *settings.view->refresh_rate = display_refresh_rate(w.window);
  if (*settings.view->refresh_rate <= 0) *settings.view->refresh_rate = 60;
  SDL_DisableScreenSaver();
  SDL_RaiseWindow(w.window);
  return true;
}

void close_window(Window& w) {
  close_picture_output(w.output);
  if (w.window != nullptr) SDL_DestroyWindow(w.window);
  // SDL's video stays initialised until the process ends: quitting it unloads the GL and D-Bus
  // libraries while they still hold memory, and a later start on a new thread would find SDL's
  // signal handlers gone.
  if (w.video_started) SDL_EnableScreenSaver();
}

void end_handoff() {
  Shared& s = shared();
  if (!s.handoff.load()) return;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.handoff = false;
  }
  s.wake_drawing.notify_all();
}

void mark_all_lines_dirty() {
  std::memset(settings.view->dirty_lines, 1, static_cast<size_t>(settings.height));
}

// Under the presenter lock: hands the span from the first to the last flagged line of the
// visible page to the picture output and clears the flags. Unflagged lines inside the span go
// too: the page holds what they show.
void take_dirty_lines(Window& w) {
  const DisplayView& view = *settings.view;
  const auto* page = reinterpret_cast<const uint8_t*>(*view.visible_page);
  if (page == nullptr) return;
  int first = -1, last = -1;
  for (int y = 0; y < settings.height; ++y) {
    if (!view.dirty_lines[y]) continue;
    if (first < 0) first = y;
    last = y;
  }
  if (first < 0 || !receive_lines(w.output, page, view.pitch, first, last)) return;
  std::memset(view.dirty_lines + first, 0, static_cast<size_t>(last - first + 1));
}

// Under the presenter lock: the held keys as SDL saw them in the events pumped so far.
void refresh_key_state() {
  int count = 0;
  const Uint8* held = SDL_GetKeyboardState(&count);
  uint8_t fresh[128] = {};
  for (int scancode = 0; scancode < count; ++scancode) {
    if (!held[scancode]) continue;
    const PcScanCode pc = pc_scan_code(scancode);
    if (pc.scan > 0 && pc.scan < 128) fresh[pc.scan] = 1;
  }
  std::memcpy(settings.view->key_state, fresh, sizeof fresh);
}

void update_activity(Window& w) {
  w.active = w.focused && !w.minimised;
  if (settings.flags & kThreadBoost) raise_priority(w.active);
  // Keys may have changed unseen while another window had the focus.
  std::memset(settings.view->key_state, 0, 128);
  mark_all_lines_dirty();
}

void handle_window_event(Window& w, const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      push_key(CLOSE_KEY_CODE);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      w.focused = true;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      w.focused = false;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      w.minimised = true;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      w.minimised = false;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      picture_output_resized(w.output);
      mark_all_lines_dirty();
      w.needs_present = true;
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      w.needs_present = true;
      break;
    default:
      break;
  }
}

// Under the presenter lock: everything SDL_PumpEvents queued.
void handle_events(Window& w) {
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    switch (event.type) {
      case SDL_QUIT:
        push_key(CLOSE_KEY_CODE);
        break;  // SIGINT or SIGTERM
      case SDL_WINDOWEVENT:
        handle_window_event(w, event.window);
        break;
      case SDL_KEYDOWN: {
        const SDL_Keysym& key = event.key.keysym;
        w.key_modifiers = key.mod;
        const bool enter =
            key.scancode == SDL_SCANCODE_RETURN || key.scancode == SDL_SCANCODE_KP_ENTER;
        if (enter && (key.mod & KMOD_ALT) && !event.key.repeat && w.active &&
            !(settings.flags & kFixedMode))
          w.toggle_requested = true;
        queue_key_press(event.key);
        break;
      }
      case SDL_KEYUP:
        w.key_modifiers = event.key.keysym.mod;
        break;
      case SDL_TEXTINPUT:
        queue_text_input(event.text, w.key_modifiers);
        break;
      default:
        break;
    }
  }
}

// Outside the presenter lock: switching modes may wait for the window system.
void toggle_fullscreen(Window& w) {
  w.toggle_requested = false;
  const bool wanted = !w.fullscreen;
  if (SDL_SetWindowFullscreen(w.window, wanted ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
    w.fullscreen = wanted;
  else
    SDL_SetWindowFullscreen(w.window, w.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  w.focused = true;
  w.minimised = false;
  w.active = true;
  w.needs_present = true;
  if (try_take_presenter_lock(kLockWaitMs)) {
    mark_all_lines_dirty();
    release_presenter_lock();
  }
}

// Outside the presenter lock: a synchronised present may block for a whole refresh.
void present(Window& w) {
  // A scaled window shows the picture scaled like full screen does.
  show_picture(w.output, w.fullscreen || window_start().scale > 1, w.needs_present);
  w.needs_present = false;
}

void run_cycles(Window& w) {
  Shared& s = shared();
  auto next_tick = Clock::now() + kCycle;
  auto last_pump = Clock::now();
  for (;;) {
    bool frame = false;
    {
      std::unique_lock<std::mutex> lock(s.mutex);
      s.wake_window.wait_until(lock, next_tick, [&] { return s.frame_ready || !s.running; });
      frame = s.frame_ready;
      s.frame_ready = false;
    }
    if (!s.running) return;
    const auto now = Clock::now();
    next_tick = now + kCycle;
    // Between frames, most cycles find nothing new: pump only when something came.
    if (frame || now - last_pump >= kPumpLimit || display_input_pending(w.input)) {
      SDL_PumpEvents();
      last_pump = now;
    }
    if (!try_take_presenter_lock(kLockWaitMs)) continue;
    end_handoff();
    take_dirty_lines(w);
    if (w.active) refresh_key_state();
    handle_events(w);
    release_presenter_lock();
    if (w.toggle_requested) toggle_fullscreen(w);
    present(w);
  }
}

void window_main() {
  Shared& s = shared();
  Window w;
  const bool opened = open_window(w);
  if (opened && (settings.flags & kThreadBoost)) raise_priority(true);
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    (opened ? s.started : s.ended) = true;
  }
  s.wake_drawing.notify_all();
  if (opened) run_cycles(w);
  close_window(w);
  // SDL keeps per-thread data (its error text) that it frees only for threads it started itself.
  SDL_TLSCleanup();
}

int sdl_start(const char* title, int width, int height, int depth, int refresh_rate, int flags,
              const DisplayView* view) {
  Shared& s = shared();
  error_text[0] = 0;
  if (window_thread != nullptr) {
    std::snprintf(error_text, sizeof error_text, "the window is already open");
    return 1;
  }
  if (view == nullptr || width <= 0 || height <= 0) {
    std::snprintf(error_text, sizeof error_text, "no screen to show");
    return 1;
  }
  if (depth == 24 || depth == 32) {
    settings.pixel_format = SDL_PIXELFORMAT_ARGB8888;
  } else if (depth == 15 || depth == 16) {
    settings.pixel_format = SDL_PIXELFORMAT_RGB565;
  } else {
    std::snprintf(error_text, sizeof error_text, "pages of %d bits per pixel cannot be shown",
                  depth);
    return 1;
  }
  settings.title = title != nullptr ? title : "";
  settings.width = width;
  settings.height = height;
  settings.flags = flags < 0 ? 0 : flags;
  settings.view = view;
  *view->refresh_rate = 0;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.started = s.ended = s.frame_ready = false;
    s.retrace_passed = false;
    s.handoff = false;
    s.running = true;
  }
  window_thread = new std::thread(window_main);
  bool started = false;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.wake_drawing.wait(lock, [&] { return s.started || s.ended; });
    started = s.started;
    if (!started) s.running = false;
  }
  if (!started) {
    window_thread->join();
    delete window_thread;
    window_thread = nullptr;
    return 1;
  }
  // A requested rate paces the frames instead of the display's refresh.
  pacer = RetracePacer{refresh_period_ns(refresh_rate > 0 ? refresh_rate : *view->refresh_rate), 0,
                       false};
  return 0;
}

void sdl_stop() {
  Shared& s = shared();
  if (window_thread == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.running = false;
  }
  s.wake_window.notify_all();
  window_thread->join();
  delete window_thread;
  window_thread = nullptr;
  s.handoff = false;
  s.retrace_passed = false;
}

void sdl_take_lock() {
  Shared& s = shared();
  if (s.handoff.load()) {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.wake_drawing.wait_for(lock, kHandoffLimit, [&] { return !s.handoff; });
    s.handoff = false;
  }
  take_presenter_lock();
}

void sdl_release_lock() {
  Shared& s = shared();
  release_presenter_lock();
  if (!s.retrace_passed.load()) return;
  // The first release after a retrace follows the frame's page copy: fetch it now.
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.retrace_passed) return;
    s.retrace_passed = false;
    if (!s.running) return;
    s.frame_ready = true;
    s.handoff = true;
  }
  s.wake_window.notify_one();
}

void sdl_await_retrace() {
  Shared& s = shared();
  if (window_thread == nullptr) return;
  const int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
  const int64_t deadline = next_retrace_ns(pacer, now);
  std::this_thread::sleep_until(Clock::time_point(std::chrono::nanoseconds(deadline)));
  s.retrace_passed = true;
}
}  // namespace

const DisplayDriver SdlDisplayDriver = {"SDL",         sdl_start,        sdl_stop,
                                        sdl_take_lock, sdl_release_lock, sdl_await_retrace};

const char* display_error() {
  return error_text;
}
