#include "platform/shared_module.h"

#include <dlfcn.h>

void* open_shared_module(const std::string& path, std::string& error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* text = dlerror();
    error = text != nullptr ? text : path + ": cannot be loaded";
  }
  return module;
}

void* shared_module_symbol(void* module, const char* name) {
  return dlsym(module, name);
}
