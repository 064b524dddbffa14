#include "tests/support/ReferenceImage.h"
#include "tests/support/ImageFiles.h"

#include "Platform/Win32/Windows.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace ReferenceImage
{
std::string SourcePath(const std::string& relative)
{
    std::string folder = Platform::ProgramFolder();
    for (int up = 0; up < 8 && !folder.empty(); ++up)
    {
        std::string candidate = folder + "tests";
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return folder + relative;
        size_t slash = folder.find_last_of('/', folder.size() >= 2 ? folder.size() - 2 : 0);
        if (slash == std::string::npos)
            break;
        folder.resize(slash + 1);
    }
    return {};
}

bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, uint32_t& width, uint32_t& height)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return false;
    width = image.width;
    height = image.height;
    pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    return true;
}

std::string Compare(const std::string& relative, const std::vector<uint32_t>& pixels, uint32_t width,
                    uint32_t height, int tolerance)
{
    std::string path = SourcePath(relative);
    if (path.empty())
        return "no source tree above the test program";
    const char* write = std::getenv("KELVANE_WRITE_REFERENCE");
    if (write && std::strcmp(write, "1") == 0)
    {
        std::vector<uint8_t> png = ImageFiles::Png(pixels, width, height, false);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        return {};
    }
    std::vector<uint32_t> expected;
    uint32_t w = 0, h = 0;
    if (!ReadPng(path, expected, w, h))
        return "cannot read " + path;
    if (w != width || h != height)
        return "size differs from " + path;
    size_t bad = 0;
    std::string first;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            if (!ColoursNear(pixels[static_cast<size_t>(y) * width + x], expected[static_cast<size_t>(y) * width + x],
                             tolerance) &&
                bad++ == 0)
                first = "first at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    if (bad == 0)
        return {};
    return std::to_string(bad) + " pixels differ from " + relative + ", " + first;
}
} // namespace ReferenceImage
