// File existence and wildcard search in one directory. Paths and names are UTF-8.
#ifndef PLATFORM_FILES_H
#define PLATFORM_FILES_H

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// True when `path` names an existing file that is not a directory.
bool fileExists(const std::string& path);

// Whether `name` matches `pattern`: '?' stands for exactly one character, '*' for any run
// of characters (none included); everything else matches itself, case-sensitively.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// Names (not paths) of the files in `dir` matching `pattern`, directories left out, in no
// particular order. Empty when the directory cannot be read.
std::vector<std::string> findFiles(const std::string& dir, std::string_view pattern);

}  // namespace platform

#endif  // PLATFORM_FILES_H
