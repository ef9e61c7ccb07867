#pragma once
// The raster layer's last error number: 0 success, 1 illegal call, 2 file not openable,
// 3 bad or truncated file data, 4 out of memory.

constexpr int ERROR_NONE = 0;
constexpr int ERROR_ILLEGAL_CALL = 1;
constexpr int ERROR_FILE_NOT_OPENABLE = 2;
constexpr int ERROR_BAD_FILE_DATA = 3;
constexpr int ERROR_OUT_OF_MEMORY = 4;

int last_error();
// Stores and returns the code, so that operations can end with `return set_last_error(n);`.
int set_last_error(int code);
