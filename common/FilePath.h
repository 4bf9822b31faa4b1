// The parts of a file's path, as text: no file system is asked.
#pragma once

#include <string>

namespace quenza {

// The folder part of `path`: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);

// The name after the last '/': the whole path when it has none.
std::string FileNameOf(const std::string& path);

}  // namespace quenza
