#include "gfx/error.h"

namespace {
int g_last_error = 0;
}

int last_error() {
  return g_last_error;
}

int set_last_error(int code) {
  g_last_error = code;
  return code;
}
