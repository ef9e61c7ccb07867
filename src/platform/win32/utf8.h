#pragma once
// The program's names are UTF-8; Windows' own are UTF-16. Conversions for the win32 back end.
#include <string>

// Empty when text is not valid UTF-8 (or empty).
std::wstring wide_from_utf8(const std::string& text);
std::string utf8_from_wide(const wchar_t* text);
