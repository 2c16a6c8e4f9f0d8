// `quillon` without a command: the windowed program is its own executable, `quillon-gui`, so
// that the command line links no Qt and a base station needs no display libraries.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace quillon::cli {

inline constexpr char kWindowedProgramName[] = "quillon-gui";

// Where the windowed program is: next to this executable (`ownFolder`) first, so a build tree or
// an unpacked package runs its own, then the first executable one in the folders of `searchPath`
// (a PATH value). Empty and relative PATH entries are skipped: they would run whatever the
// current folder holds.
std::optional<std::filesystem::path> FindWindowedProgram(const std::filesystem::path& ownFolder,
                                                         std::string_view searchPath);

// Replaces this process with the windowed program, passing `argv` on. Returns only when there
// is none or it cannot be started, after one line on standard error saying how to get it: the
// exit status 2.
int StartWindowedProgram(char** argv);

}  // namespace quillon::cli
