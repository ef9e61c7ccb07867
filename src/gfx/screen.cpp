#include "gfx/screen.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/draw_context.h"
#include "gfx/error.h"
#include "gfx/fast_paths.h"
#include "gfx/text.h"
#include "gfx/write_rules.h"
#include "platform/page_memory.h"

namespace {

Screen* g_screen = nullptr;
int g_next_serial = 1;
const char* g_forced_driver = nullptr;
bool g_fonts_filled = false;
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
  char path[128] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string name = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("intro");
  const size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name;
}

const DisplayDriver* choose_driver(int flags) {
  if (g_forced_driver) {
    return std::strcmp(g_forced_driver, "Null") == 0 ? &NullDisplayDriver : &SdlDisplayDriver;
  }
  return flags == -1 ? &NullDisplayDriver : &SdlDisplayDriver;
}

void release_screen(Screen* screen) {
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

}  // namespace

Screen* current_screen() {
  return g_screen;
}

void force_display_driver(const char* name) {
  g_forced_driver = name;
}

int set_screen_mode(int width, int height, int depth, int pages, int flags, int refresh_rate) {
  if (width <= 0 || height <= 0 || !valid_depth(depth)) return set_last_error(ERROR_ILLEGAL_CALL);
  if (pages <= 0) pages = 1;
  if (flags >= 0 && (flags & SCREEN_COLOR_KEYED)) flags |= 0x1C;
  close_open_screen();

  auto* screen = new Screen;
  screen->serial = g_next_serial++;
  screen->mode = -1;
  screen->width = width;
  screen->height = height;
  if (flags >= 0 && (flags & SCREEN_GL) && depth < 16) depth = 16;
  if (depth == 15 || depth == 16) {
    screen->depth = 16;
    screen->bytes_per_pixel = 2;
    screen->colour_mask = 0xFFFF;
  } else if (depth == 24 || depth == 32) {
    screen->depth = 32;
    screen->bytes_per_pixel = 4;
    screen->colour_mask = 0xFFFFFFFFu;
  } else {
    screen->depth = depth;
    screen->bytes_per_pixel = (depth + 7) / 8;
    screen->colour_mask = (1u << depth) - 1;
  }
  screen->pitch = width * screen->bytes_per_pixel;
  const size_t page_bytes =
      (static_cast<size_t>(screen->pitch) * static_cast<size_t>(height) + 15) & ~size_t{15};
  for (int i = 0; i < pages; ++i) {
    auto* page = static_cast<uint8_t*>(allocate_page_memory(page_bytes));
    if (!page) {
      release_screen(screen);
      return set_last_error(ERROR_OUT_OF_MEMORY);
    }
    screen->pages.push_back(page);
  }
  screen->page_count = pages;
  screen->visible_index = 0;
  screen->visible_page = reinterpret_cast<uint32_t*>(screen->pages[0]);
  screen->dirty_lines.assign(
      static_cast<size_t>(height) * static_cast<size_t>(screen->lines_per_row), 0);
  if (flags != -1) {
    if (flags & SCREEN_BLENDED_PRIMITIVES) screen->flags |= SCREEN_FLAG_BLENDED;
    if (flags & SCREEN_GL) screen->flags |= SCREEN_FLAG_GL;
    if (flags & SCREEN_WINDOW_THREAD_BOOST) screen->flags |= SCREEN_FLAG_BOOST;
    // Records that the pixel kernels run on the processor's vector unit.
    if (pixel_kernels().level != KernelLevel::Scalar) screen->flags |= SCREEN_FLAG_MMX;
  }

  if (!g_fonts_filled) {
    fill_builtin_font_storage(font_storage());
    g_fonts_filled = true;
  }

  screen->view = DisplayView{&screen->visible_page,
                             screen->dirty_lines.data(),
                             screen->key_state,
                             &screen->refresh_rate,
                             width,
                             height,
                             screen->pitch};
  const DisplayDriver* driver = choose_driver(flags);
  const std::string title = program_title();
  if (driver->start(title.c_str(), width, height * screen->lines_per_row, screen->depth,
                    refresh_rate, flags, &screen->view) != 0) {
    release_screen(screen);
    return set_last_error(ERROR_ILLEGAL_CALL);
  }
  screen->driver = driver;
  screen->text_columns = width / 8;
  screen->text_rows = height / 8;
  g_screen = screen;

  DrawContext& ctx = draw_context();
  const TextCell blank{32, ctx.foreground, ctx.background};
  screen->text_cells.assign(static_cast<size_t>(pages),
                            std::vector<TextCell>(static_cast<size_t>(screen->text_columns) *
                                                      static_cast<size_t>(screen->text_rows),
                                                  TextCell{}));
  std::fill(screen->text_cells[static_cast<size_t>(ctx.work_page)].begin(),
            screen->text_cells[static_cast<size_t>(ctx.work_page)].end(), blank);
  // Under the presenter lock: the window thread already copies lines from the visible page.
  driver->take_lock();
  for (uint8_t* page : screen->pages) {
    for (int y = 0; y < height; ++y) {
      ctx.write_span(
          page + static_cast<ptrdiff_t>(y) * screen->pitch + ctx.clip_x * screen->bytes_per_pixel,
          ctx.clip_w, ctx.background);
    }
  }
  driver->release_lock();
  if (!g_exit_hook_registered) {
    std::atexit(shutdown_screen);
    g_exit_hook_registered = true;
  }
  if (flags != static_cast<int>(0x80000000u)) reset_text_cursor();
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
  select_write_rule(ctx, 0xFF000000u);
  if (work_page < 0 && visible_page < 0) work_page = visible_page = 0;
  if (work_page >= 0 && work_page < screen->page_count) {
    uint8_t* start = screen->pages[static_cast<size_t>(work_page)];
    for (int y = 0; y < screen->height; ++y)
      ctx.rows[static_cast<size_t>(y)] = start + static_cast<ptrdiff_t>(y) * screen->pitch;
    ctx.work_page = work_page;
  }
  if (visible_page >= 0 && visible_page < screen->page_count &&
      visible_page != screen->visible_index) {
    lock_screen();
    screen->visible_index = visible_page;
    screen->visible_page =
        reinterpret_cast<uint32_t*>(screen->pages[static_cast<size_t>(visible_page)]);
    std::memset(screen->dirty_lines.data(), 1, screen->dirty_lines.size());
    unlock_screen(1, 0);
  }
  return previous;
}

int copy_page(int source, int destination) {
  Screen* screen = g_screen;
  if (!screen) return set_last_error(ERROR_ILLEGAL_CALL);
  DrawContext& ctx = draw_context();
  select_target(ctx, nullptr);
  select_write_rule(ctx, 0xFF000000u);
  if (source < 0) source = ctx.work_page;
  if (destination < 0) destination = screen->visible_index;
  if (source >= screen->page_count || destination >= screen->page_count)
    return set_last_error(ERROR_ILLEGAL_CALL);
  if (source == destination) return set_last_error(ERROR_NONE);
  const bool mark = destination == screen->visible_index && screen->lock_count == 0;
  if (mark) lock_screen();
  const uint8_t* from = screen->pages[static_cast<size_t>(source)];
  uint8_t* to = screen->pages[static_cast<size_t>(destination)];
  const size_t row_bytes =
      static_cast<size_t>(ctx.clip_w) * static_cast<size_t>(screen->bytes_per_pixel);
  const ptrdiff_t offset =
      static_cast<ptrdiff_t>(ctx.clip_y) * screen->pitch + ctx.clip_x * screen->bytes_per_pixel;
  copy_rows_fast(to + offset, from + offset, row_bytes, ctx.clip_h, screen->pitch);
  screen->text_cells[static_cast<size_t>(destination)] =
      screen->text_cells[static_cast<size_t>(source)];
  if (mark) {
    std::memset(screen->dirty_lines.data() + ctx.clip_y, 1, static_cast<size_t>(ctx.clip_h));
    unlock_screen(1, 0);
  }
  return set_last_error(ERROR_NONE);
}
