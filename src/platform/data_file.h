#pragma once
// Opening the program's data files without trusting what a name points at: only a regular file of
// a sane size is opened, always in binary, and nothing here can block on a FIFO or a device.
// Names are UTF-8.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A read-only stream on the named file when it is a regular file of at most max_bytes; null
// otherwise, with why (when given) set to a short reason such as "is a directory".
std::FILE* open_data_file(const char* name, uint64_t max_bytes, std::string* why);

// The reason given for a file over max_bytes.
std::string data_file_too_large(uint64_t max_bytes);

// The whole file into bytes, under the same rules. False with why set when it cannot be read.
bool read_data_file(const char* name, uint64_t max_bytes, std::vector<char>& bytes,
                    std::string* why);
