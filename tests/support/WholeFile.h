// Whole files as bytes, for tests that prepare inputs and check outputs byte for byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
std::vector<uint8_t> ReadWholeFileData(const std::filesystem::path& path);

// Creates or replaces the file with exactly these bytes; returns the path.
std::filesystem::path WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);
std::filesystem::path WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// The path as UTF-16, the form the program's file functions take.
std::u16string WidePath(const std::filesystem::path& path);
