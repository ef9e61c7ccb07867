#include "platform/process.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <cstdio>

#include "platform/win32/utf8.h"

namespace {

std::string forward_slashes(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// A standard stream the program can write to: inherited from a parent that redirected it, or
// set up by a console program's start.
bool has_stream(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

std::string executable_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      return forward_slashes(utf8_from_wide(path.c_str()));
    }
    if (path.size() >= 32768) return "";  // the longest path Windows has
    path.resize(path.size() * 2);
  }
}

// The C runtime's argv is in the ANSI code page, which cannot spell every name: the wide command
// line, split by the shell's rules, instead.
std::vector<std::string> program_arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8_from_wide(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string real_path(const std::string& path) {
  const std::wstring wide = wide_from_utf8(path);
  if (wide.empty() || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return "";
  const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return "";
  std::wstring full(length, L'\0');
  if (GetFullPathNameW(wide.c_str(), length, full.data(), nullptr) == 0) return "";
  return forward_slashes(utf8_from_wide(full.c_str()));
}

bool something_at(const std::string& path) {
  const std::wstring wide = wide_from_utf8(path);
  if (wide.empty()) return false;
  if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
         error != ERROR_INVALID_NAME;
}

// A windowed program gets no console, so --help typed in a terminal would print nothing: the
// streams that have nowhere to go are sent to the console of the terminal that started it.
void attach_to_terminal() {
  const bool out = has_stream(STD_OUTPUT_HANDLE), err = has_stream(STD_ERROR_HANDLE);
  if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out) (void)std::freopen("CONOUT$", "w", stdout);
  if (!err) (void)std::freopen("CONOUT$", "w", stderr);
}
