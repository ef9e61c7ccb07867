#include "capture/video_file_module.h"

#include "platform/shared_module.h"

namespace {

const VideoFileFunctions* Loaded = nullptr;

bool is_missing_file(const std::string& message) {
  return message.find("No such file") != std::string::npos;
}

}  // namespace

std::string failing_library(const std::string& loader_message, const std::string& module) {
  const size_t colon = loader_message.find(": ");
  if (colon == std::string::npos) return "";
  const std::string name = loader_message.substr(0, colon);
  return name == module ? "" : name;
}

const VideoFileFunctions* load_video_file_functions(const std::vector<std::string>& paths,
                                                    const std::string& packages,
                                                    std::string& error) {
  if (Loaded != nullptr) return Loaded;
  for (const std::string& path : paths) {
    std::string why;
    void* module = open_shared_module(path, why);
    if (module == nullptr) {
      const std::string library = failing_library(why, path);
      if (library.empty() && is_missing_file(why)) continue;  // not at this path
      if (library.empty())
        error = "cannot load the capture: " + why;
      else
        error = "the capture cannot load " + library + " (" + why.substr(library.size() + 2) +
                "); install the Debian packages " + packages;
      return nullptr;
    }
    using Entry = const VideoFileFunctions* (*)();
    auto entry = reinterpret_cast<Entry>(shared_module_symbol(module, VIDEO_FILE_FUNCTIONS_SYMBOL));
    const VideoFileFunctions* functions = entry != nullptr ? entry() : nullptr;
    if (functions == nullptr || functions->interface != VIDEO_FILE_INTERFACE) {
      error = "cannot load the capture: " + path + " is of another build";
      return nullptr;
    }
    Loaded = functions;
    return Loaded;
  }
  std::string looked;
  for (const std::string& path : paths) looked += (looked.empty() ? "" : ", ") + path;
  error = "the capture module is not installed (looked for " + looked + ")";
  return nullptr;
}
