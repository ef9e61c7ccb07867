#pragma once
// Where the intro finds module.xm and header.bmp when no file is named: the working directory
// first; then the installed data directory, found from the executable's own location so that an
// installed tree can be moved; then, for the executable of a build tree, the source tree's data/.
#include <string>
#include <vector>

// The directories to look in, in order, for the given executable; "" is the working directory.
std::vector<std::string> data_directories(const std::string& executable);

// Where the capture's module may be, in order, for the given executable: the installed library
// directory relative to it, then, for the executable of a build tree, beside it.
std::vector<std::string> capture_module_paths(const std::string& executable);

// The path of name in the first directory that holds something under that name (whatever it is:
// a broken file there still hides the ones further on). The bare name when none does.
std::string find_data_file(const std::string& name, const std::vector<std::string>& directories);

// Empty when the file is a picture the intro can show, else why not.
std::string header_file_problem(const std::string& name);
