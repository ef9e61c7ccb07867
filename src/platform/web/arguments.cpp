#include <emscripten.h>

#include "platform/process.h"

// The page hands its arguments over as JavaScript strings, and argv holds them cut at their
// first NUL: they are read again whole, as UTF-8, from the array the page gave. Under node, or
// when the page gave none, argv is all there is.
EM_JS(int, page_argument_count, (), {
  const own = Object.getOwnPropertyDescriptor(Module, "arguments");
  return own && Array.isArray(own.value) ? own.value.length : -1;
});

EM_JS(int, page_argument_length, (int index),
      { return lengthBytesUTF8(String(Module["arguments"][index])); });

EM_JS(void, copy_page_argument, (int index, char* buffer, int size),
      { stringToUTF8(String(Module["arguments"][index]), buffer, size); });

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  if (argc < 1 || page_argument_count() != argc - 1) return arguments;
  for (int i = 1; i < argc; ++i) {
    const int length = page_argument_length(i - 1);
    std::string whole(static_cast<size_t>(length) + 1, '\0');
    copy_page_argument(i - 1, whole.data(), length + 1);
    whole.resize(static_cast<size_t>(length));
    arguments[static_cast<size_t>(i)] = whole;
  }
  return arguments;
}
