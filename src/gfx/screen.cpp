#include "gfx/screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/draw_context.h"
#include "gfx/error.h"
#include "gfx/fast_paths.h"
#include "gfx/write_rules.h"
#include "platform/page_memory.h"
#include "platform/process.h"

namespace {

Screen* g_screen = nullptr;
DrawContext g_context;
int g_next_serial = 1;
const DisplayDriver* g_forced_driver = nullptr;
bool g_exit_hook_registered = false;

bool valid_depth(int depth) {
  switch (depth) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 15:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

// The executable's file name without directory and extension, as the window title.
std::string program_title() {
  std::string name = executable_path();
  if (name.empty()) name = "intro";
  const size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name;
}

const DisplayDriver* choose_driver(int flags) {
  if (g_forced_driver) return g_forced_driver;
  return flags == -1 ? &NullDisplayDriver : &SdlDisplayDriver;
}

void release_screen(Screen* screen) {
  if (g_context.surface == screen) g_context.surface = nullptr;
  if (screen->driver) {
    if (screen->lock_count != 0) {
      screen->lock_count = 0;
      screen->driver->release_lock();
    }
    screen->driver->stop();
  }
  for (uint8_t* page : screen->pages) free_page_memory(page);
  delete screen;
}

void close_open_screen() {
  if (!g_screen) return;
  Screen* screen = g_screen;
  g_screen = nullptr;
  release_screen(screen);
}

// 15 and 16 bits are stored in 2 bytes, 24 and 32 in 4, lower depths in whole bytes.
void set_pixel_format(Screen& screen, int depth) {
  if (depth == 15 || depth == 16) {
    screen.depth = 16;
    screen.bytes_per_pixel = 2;
    screen.colour_mask = 0xFFFF;
  } else if (depth == 24 || depth == 32) {
    screen.depth = 32;
    screen.bytes_per_pixel = 4;
    screen.colour_mask = 0xFFFFFFFFu;
  } else {
    screen.depth = depth;
    screen.bytes_per_pixel = (depth + 7) / 8;
    screen.colour_mask = (1u << depth) - 1;
  }
  screen.pitch = screen.width * screen.bytes_per_pixel;
}

bool allocate_pages(Screen& screen, int count) {
  const size_t page_bytes =
      (static_cast<size_t>(screen.pitch) * static_cast<size_t>(screen.height) + 15) & ~size_t{15};
  for (int i = 0; i < count; ++i) {
    auto* page = static_cast<uint8_t*>(allocate_page_memory(page_bytes));
    if (!page) return false;
    screen.pages.push_back(page);
  }
  screen.visible_index = 0;
  screen.visible_page = reinterpret_cast<uint32_t*>(screen.pages[0]);
  screen.dirty_lines.assign(static_cast<size_t>(screen.height), 0);
  return true;
}

// The flag bits the screen keeps of what set_screen_mode was given (none for the Null request).
uint32_t screen_flags(int flags) {
  if (flags == -1) return 0;
  uint32_t kept = 0;
  if (flags & SCREEN_BLENDED_PRIMITIVES) kept |= SCREEN_FLAG_BLENDED;
  if (flags & SCREEN_GL) kept |= SCREEN_FLAG_GL;
  if (flags & SCREEN_WINDOW_THREAD_BOOST) kept |= SCREEN_FLAG_BOOST;
  // Records that the pixel kernels run on the processor's vector unit.
  if (pixel_kernels().level != KernelLevel::Scalar) kept |= SCREEN_FLAG_MMX;
  return kept;
}

// Blank text cells on every page (spaces in the context's colours on the work page) and every
// line of every page in the background colour.
void clear_pages(Screen& screen, const DrawContext& ctx) {
  screen.text_columns = screen.width / 8;
  screen.text_rows = screen.height / 8;
  const size_t cells = static_cast<size_t>(screen.text_columns) * screen.text_rows;
  screen.text_cells.assign(screen.pages.size(), std::vector<TextCell>(cells, TextCell{}));
  std::vector<TextCell>& work = screen.text_cells[static_cast<size_t>(ctx.work_page)];
  std::fill(work.begin(), work.end(), TextCell{32, ctx.foreground, ctx.background});
  for (uint8_t* page : screen.pages) {
    for (int y = 0; y < screen.height; ++y) {
      ctx.write_span(
          page + static_cast<ptrdiff_t>(y) * screen.pitch + ctx.clip.x * screen.bytes_per_pixel,
          ctx.clip.w, ctx.background);
    }
  }
}

bool start_display(Screen& screen, int flags, int refresh_rate) {
  screen.view = DisplayView{&screen.visible_page, screen.dirty_lines.data(),
                            screen.key_state,     &screen.refresh_rate,
                            screen.width,         screen.height,
                            screen.pitch};
  const DisplayDriver* driver = choose_driver(flags);
  const std::string title = program_title();
  if (driver->start(title.c_str(), screen.width, screen.height, screen.depth, refresh_rate, flags,
                    &screen.view) != 0)
    return false;
  screen.driver = driver;
  return true;
}

}  // namespace

Screen* current_screen() {
  return g_screen;
}

DrawContext& draw_context() {
  if (g_screen && g_context.screen_id != g_screen->serial) build_draw_context(g_context, *g_screen);
  return g_context;
}

void force_display_driver(const char* name) {
  if (!name) return force_display_driver_table(nullptr);
  force_display_driver_table(std::strcmp(name, "Null") == 0 ? &NullDisplayDriver
                                                            : &SdlDisplayDriver);
}

void force_display_driver_table(const DisplayDriver* driver) {
  g_forced_driver = driver;
}

int set_screen_mode(int width, int height, int depth, int pages, int flags, int refresh_rate) {
  if (width <= 0 || height <= 0 || !valid_depth(depth)) return set_last_error(ERROR_ILLEGAL_CALL);
  if (pages <= 0) pages = 1;
  if (flags >= 0 && (flags & SCREEN_COLOR_KEYED))
    flags |= SCREEN_COLOR_KEYED | SCREEN_FIXED_MODE | SCREEN_BORDERLESS;
  const TextCursor cursor =
      flags == SCREEN_KEEP_TEXT_CURSOR && g_screen ? g_screen->text_cursor : TextCursor{};
  close_open_screen();

  auto* screen = new Screen;
  screen->serial = g_next_serial++;
  screen->width = width;
  screen->height = height;
  if (flags >= 0 && (flags & SCREEN_GL) && depth < 16) depth = 16;
  set_pixel_format(*screen, depth);
  if (!allocate_pages(*screen, pages)) {
    release_screen(screen);
    return set_last_error(ERROR_OUT_OF_MEMORY);
  }
  screen->flags = screen_flags(flags);
  screen->text_cursor = cursor;
  // The pages are cleared before the window thread starts, which reads the visible one.
  build_draw_context(g_context, *screen);
  clear_pages(*screen, g_context);
  if (!start_display(*screen, flags, refresh_rate)) {
    release_screen(screen);
    return set_last_error(ERROR_ILLEGAL_CALL);
  }
  g_screen = screen;
  if (!g_exit_hook_registered) {
    std::atexit(shutdown_screen);
    g_exit_hook_registered = true;
  }
  return set_last_error(ERROR_NONE);
}

void shutdown_screen() {
  close_open_screen();
}

void lock_screen() {
  Screen* screen = g_screen;
  if (!screen) return;
  if (screen->lock_count == 0) screen->driver->take_lock();
  ++screen->lock_count;
}

void unlock_screen(int first_line, int last_line) {
  Screen* screen = g_screen;
  if (!screen) return;
  if (last_line < 0) last_line = screen->height - 1;
  if (draw_context().work_page == screen->visible_index) {
    if (first_line < 0) first_line = 0;
    if (first_line <= last_line && last_line < screen->height) {
      std::memset(screen->dirty_lines.data() + first_line, 1,
                  static_cast<size_t>(last_line - first_line + 1));
    }
  }
  if (screen->lock_count == 0) return;
  if (--screen->lock_count == 0) screen->driver->release_lock();
}

int wait_vsync() {
  if (!g_screen) return 1;
  if (g_screen->driver->await_retrace) g_screen->driver->await_retrace();
  return 0;
}

int set_pages(int work_page, int visible_page) {
  Screen* screen = g_screen;
  DrawContext& ctx = draw_context();
  if (!screen) return 0;
  const int previous = screen->visible_index * 256 + ctx.work_page;
  select_target(ctx, nullptr);
  select_write_rule(ctx, OPAQUE_BLACK);
  if (work_page < 0 && visible_page < 0) work_page = visible_page = 0;
  if (work_page >= 0 && work_page < screen->page_count()) {
    uint8_t* start = screen->pages[static_cast<size_t>(work_page)];
    for (int y = 0; y < screen->height; ++y)
      ctx.rows[static_cast<size_t>(y)] = start + static_cast<ptrdiff_t>(y) * screen->pitch;
    ctx.work_page = work_page;
  }
  if (visible_page >= 0 && visible_page < screen->page_count() &&
      visible_page != screen->visible_index) {
    lock_screen();
    screen->visible_index = visible_page;
    screen->visible_page =
        reinterpret_cast<uint32_t*>(screen->pages[static_cast<size_t>(visible_page)]);
    std::memset(screen->dirty_lines.data(), 1, screen->dirty_lines.size());
    unlock_screen_only();
  }
  return previous;
}

int copy_page(int source, int destination) {
  Screen* screen = g_screen;
  if (!screen) return set_last_error(ERROR_ILLEGAL_CALL);
  DrawContext& ctx = draw_context();
  select_target(ctx, nullptr);
  select_write_rule(ctx, OPAQUE_BLACK);
  if (source < 0) source = ctx.work_page;
  if (destination < 0) destination = screen->visible_index;
  if (source >= screen->page_count() || destination >= screen->page_count())
    return set_last_error(ERROR_ILLEGAL_CALL);
  if (source == destination) return set_last_error(ERROR_NONE);
  const bool mark = destination == screen->visible_index && screen->lock_count == 0;
  if (mark) lock_screen();
  const uint8_t* from = screen->pages[static_cast<size_t>(source)];
  uint8_t* to = screen->pages[static_cast<size_t>(destination)];
  const size_t row_bytes =
      static_cast<size_t>(ctx.clip.w) * static_cast<size_t>(screen->bytes_per_pixel);
  const ptrdiff_t offset =
      static_cast<ptrdiff_t>(ctx.clip.y) * screen->pitch + ctx.clip.x * screen->bytes_per_pixel;
  copy_rows_fast(to + offset, from + offset, row_bytes, ctx.clip.h, screen->pitch);
  screen->text_cells[static_cast<size_t>(destination)] =
      screen->text_cells[static_cast<size_t>(source)];
  if (mark) {
    std::memset(screen->dirty_lines.data() + ctx.clip.y, 1, static_cast<size_t>(ctx.clip.h));
    unlock_screen_only();
  }
  return set_last_error(ERROR_NONE);
}
