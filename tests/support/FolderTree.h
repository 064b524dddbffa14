// Whole folder trees as a test sees them: what they hold, how deep they go, and their removal,
// also where they run deeper than a path can name.
#pragma once

#include <filesystem>
#include <map>
#include <string>

// Each entry below `top` by its relative path: "dir", "link -> target" or the file's bytes; an
// entry "<unreadable>" tells why the walk stopped (a path too long to name, among others).
std::map<std::string, std::string> FolderContents(const std::filesystem::path& top);

// How many folders deep the deepest chain below `top` goes (at most 2,000), counted through
// descriptors; -1 when `top` cannot be opened.
int FolderDepth(const std::filesystem::path& top);

// Removes everything below `top` by descriptors; `top` stays.
void EmptyFolderDeep(const std::filesystem::path& top);
