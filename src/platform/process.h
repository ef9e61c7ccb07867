#pragma once
// The running program as the system knows it: its own file, its arguments, the files it looks
// for, and the terminal it was started from. Every name here is UTF-8 with '/' between folders.
#include <string>
#include <vector>

// The running executable's path; empty when the system does not tell.
std::string executable_path();

// The command line's arguments, argv[0] first.
std::vector<std::string> program_arguments(int argc, char** argv);

// The absolute path with links and "." and ".." resolved; empty when there is nothing there.
std::string real_path(const std::string& path);

// Whether something is at path. Something unusable (unreadable, a loop of links) counts: the
// loaders then say why it cannot be read.
bool something_at(const std::string& path);

// Where a program without a console of its own was started from a terminal, its standard output
// and error go there; elsewhere nothing changes.
void attach_to_terminal();
