#pragma once
// Path helpers in the manner of the form library's run-time, on Linux conventions: the
// folder part of a path ends at its last '/', the extension starts at the last '.' of the
// file name part.
#include <string>
#include <string_view>
#include <vector>

namespace vcl {

// The full path of the running executable (from /proc/self/exe), or the path set by
// SetExecutablePathForTesting.
std::string ExecutablePath();
// Test seam: makes ExecutablePath() return `path`; an empty path restores the real one.
void SetExecutablePathForTesting(std::string path);

// `path` with its extension replaced by `extension` (which includes the dot, or is empty).
std::string ChangeFileExt(std::string_view path, std::string_view extension);
// The folder part without the trailing '/'; "/" for a file in the root; "" when none.
std::string ExtractFileDir(std::string_view path);
// The file name part, extension included.
std::string ExtractFileName(std::string_view path);
// The file name part without its extension.
std::string ExtractFileNameWithoutExt(std::string_view path);
// The extension of the file name part, dot included; "" when none.
std::string ExtractFileExt(std::string_view path);
// True when `path` names an existing regular file (or a link to one).
bool FileExists(std::string_view path);

// The places a configuration file named like the executable (its file name with
// `extension`) is looked for, in order: beside the executable; then the installed
// configuration folder of the executable's prefix, <prefix>/etc/ostrel for an executable
// in <prefix>/bin (/etc/ostrel for /usr/bin); then /etc/ostrel.
std::vector<std::string> ConfigFileCandidates(std::string_view extension);
// The first candidate that exists; the one beside the executable when none does.
std::string ConfigFilePath(std::string_view extension);

}  // namespace vcl
