#pragma once
// Typed text arrives as UTF-8; key codes carry characters of code page 437.
#include <cstdint>
#include <string>

// The code page 437 byte of a Unicode code point; '?' for characters the code page lacks.
uint8_t code_page_437_byte(uint32_t code_point);

// Each character of a UTF-8 text as a code page 437 byte. Malformed sequences give '?'.
std::string utf8_to_code_page_437(const char* text);
