#pragma once
// A shared library opened at run time, for parts that only some runs need (and whose libraries
// the others should neither load nor require).
#include <string>

// The library at `path` with every symbol bound now and none shared with later loads; null with
// `error` set to the loader's one-line reason (which names the missing file).
void* open_shared_module(const std::string& path, std::string& error);

// The address of `name` in the module, or null.
void* shared_module_symbol(void* module, const char* name);
