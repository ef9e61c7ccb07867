#include "platform/display_driver.h"

namespace {
int null_start(const char*, int, int, int, int, int, const DisplayView* view) {
  if (view != nullptr && view->refresh_rate != nullptr) *view->refresh_rate = 0;
  return 0;
}
void do_nothing() {}
}  // namespace

const DisplayDriver NullDisplayDriver = {"Null",     null_start, do_nothing,
                                         do_nothing, do_nothing, nullptr};
