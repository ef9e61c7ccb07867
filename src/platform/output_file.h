#pragma once
// A file written under a fresh temporary name in its target's folder and moved onto the target
// in one step once complete, so that nobody ever sees (or is handed) half a file. Names are
// paths only: nothing here reads a name as anything else. The temporary file is created new
// (never through a link planted at its name), with the permissions the umask allows.
#include <cstddef>
#include <cstdint>
#include <string>

struct OutputFile {
  int descriptor = -1;
  std::string target;     // the name asked for
  std::string temporary;  // where the bytes go until commit_output_file
};

// Empty when `target` could be created, or replaced with `replace`; else one line why not: its
// folder is missing or not a folder, the target is a folder, or it exists and may not be
// replaced.
std::string output_target_problem(const std::string& target, bool replace);

// Creates the temporary file beside `target`. False with `error` set (nothing left behind).
bool create_output_file(const std::string& target, OutputFile& file, std::string& error);

// All of `size` bytes at the file's position: 0, or the errno value that stopped it.
int write_output(OutputFile& file, const uint8_t* bytes, size_t size);

// Moves the position as fseek would (SEEK_SET, SEEK_CUR, SEEK_END): the new position, or minus
// the errno value.
int64_t seek_output(OutputFile& file, int64_t offset, int whence);

// The file's size, or minus the errno value.
int64_t output_size(OutputFile& file);

// Up to `size` bytes from `offset`, leaving the position alone: the count (0 at the end), or
// minus the errno value.
int64_t read_output(OutputFile& file, uint8_t* bytes, size_t size, int64_t offset);

// Flushes the file to the disk and renames it onto the target: over an existing one only with
// `replace`, so a target that appeared meanwhile is not lost. False with `error` set and the
// temporary file removed.
bool commit_output_file(OutputFile& file, bool replace, std::string& error);

// Closes and removes the temporary file (if any).
void discard_output_file(OutputFile& file);
