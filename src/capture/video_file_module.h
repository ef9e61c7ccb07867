#pragma once
// Finding and loading the video file writer, which only a capture needs.
#include <string>
#include <vector>

#include "capture/video_file.h"

// The writer's table from the first of `paths` where the module is, loaded once per process.
// Null with one line in `error` when no path holds it, when a library it needs is missing (named,
// with `packages`, the Debian packages that hold them), or when it is of another build.
const VideoFileFunctions* load_video_file_functions(const std::vector<std::string>& paths,
                                                    const std::string& packages,
                                                    std::string& error);

// The library a loader's message blames ("libavcodec.so.59" from "libavcodec.so.59: cannot open
// shared object file: ..."), or "" when it blames none but `module` itself.
std::string failing_library(const std::string& loader_message, const std::string& module);
