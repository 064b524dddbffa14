#include "tests/support/WholeFile.h"

#include "Platform/Win32/Windows.h"

#include <fstream>
#include <iterator>

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> ReadWholeFileData(const std::filesystem::path& path)
{
    std::string bytes = ReadWholeFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::filesystem::path WriteWholeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::filesystem::path WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::u16string WidePath(const std::filesystem::path& path)
{
    return Platform::FromUtf8(path.string());
}
