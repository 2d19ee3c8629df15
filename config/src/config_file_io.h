// Whole-file reads and replace-by-rename writes for the configuration files.
#pragma once
#include <string>

namespace cfgfile {

enum class FileResult { kOk, kCannotOpen, kCannotRead };

// Reads a regular file whole.
FileResult ReadWholeFile(const std::string& path, std::string* bytes);

// Writes text to a new file in path's folder and renames it over path, so
// that path holds either its old content or all of text, never a part. A
// new file gets the mode a plain create would give; a replaced one keeps its
// mode. False when the file cannot be created or written.
bool ReplaceFile(const std::string& path, const std::string& text);

}  // namespace cfgfile
