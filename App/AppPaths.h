// File names the program derives from its own path: the log and the settings beside the program
// file, and the data folder under its folder.
#pragma once

#include "Components/StrUtils.h"

namespace AppPaths
{
// The path with the extension of its file name replaced by ext (dot included), or ext appended
// when the file name has none. A dot inside a folder name is no extension.
XString ChangeFileExt(const XString& path, const WCHAR* ext);
// The folder part up to and including the last '\' or '/' (or ':'); empty for a bare name.
XString ExtractFilePath(const XString& path);
// The running program's file.
XString ProgramFile();
} // namespace AppPaths
