#include "platform/sound_system.h"

#include <dlfcn.h>

namespace {
void ignore_alsa_error(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

// SDL loads the same library by name later, so the handler set here is the one it meets; the
// library stays loaded for the rest of the process.
void quiet_sound_library() {
  static bool quieted = false;
  if (quieted) return;
  quieted = true;
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  if (alsa == nullptr) return;
  using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetErrorHandler = int (*)(ErrorHandler);
  auto set_handler = reinterpret_cast<SetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (set_handler != nullptr) set_handler(ignore_alsa_error);
}
