#include "tests/support/ImageFiles.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace ImageFiles
{
namespace
{
void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
} // namespace

std::vector<uint32_t> RandomTexels(uint32_t width, uint32_t height, uint32_t seed, bool alpha)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> texels(static_cast<size_t>(width) * height);
    for (uint32_t& t : texels)
        t = static_cast<uint32_t>(random()) | (alpha ? 0u : 0xFF000000u);
    return texels;
}

std::vector<uint8_t> Bmp(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, int bits)
{
    std::vector<uint32_t> palette;
    std::map<uint32_t, uint32_t> index;
    if (bits <= 8)
        for (uint32_t t : texels)
            if (index.emplace(t & 0xFFFFFF, static_cast<uint32_t>(palette.size())).second)
                palette.push_back(t & 0xFFFFFF);
    if (palette.size() > (bits <= 8 ? (1u << bits) : 0u))
        throw std::invalid_argument("too many colours for the bitmap's palette");
    uint32_t stride = ((width * static_cast<uint32_t>(bits) + 31) / 32) * 4;
    uint32_t tableBytes = static_cast<uint32_t>(palette.size()) * 4;
    uint32_t offset = 14 + 40 + tableBytes;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + stride * height);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0);
    Put32(out, stride * height);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(palette.size()));
    Put32(out, 0);
    for (uint32_t c : palette)
        Put32(out, c);
    for (uint32_t row = 0; row < height; ++row)
    {
        std::vector<uint8_t> line(stride, 0);
        const uint32_t* src = texels.data() + static_cast<size_t>(height - 1 - row) * width;
        for (uint32_t x = 0; x < width; ++x)
        {
            uint32_t t = src[x];
            switch (bits)
            {
            case 1:
                line[x / 8] |= static_cast<uint8_t>(index[t & 0xFFFFFF] << (7 - x % 8));
                break;
            case 4:
                line[x / 2] |= static_cast<uint8_t>(index[t & 0xFFFFFF] << (x % 2 ? 0 : 4));
                break;
            case 8:
                line[x] = static_cast<uint8_t>(index[t & 0xFFFFFF]);
                break;
            case 16:
            {
                uint32_t v = ((t >> 19) & 0x1F) << 10 | ((t >> 11) & 0x1F) << 5 | ((t >> 3) & 0x1F);
                line[2 * x] = static_cast<uint8_t>(v);
                line[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                break;
            }
            case 24:
                line[3 * x] = static_cast<uint8_t>(t);
                line[3 * x + 1] = static_cast<uint8_t>(t >> 8);
                line[3 * x + 2] = static_cast<uint8_t>(t >> 16);
                break;
            default:
                for (int i = 0; i < 4; ++i)
                    line[4 * x + i] = static_cast<uint8_t>(t >> (8 * i));
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

std::vector<uint8_t> Tga(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, int bits,
                         bool rle)
{
    std::vector<uint8_t> out(18, 0);
    out[2] = rle ? 10 : 2;
    out[12] = static_cast<uint8_t>(width);
    out[13] = static_cast<uint8_t>(width >> 8);
    out[14] = static_cast<uint8_t>(height);
    out[15] = static_cast<uint8_t>(height >> 8);
    out[16] = static_cast<uint8_t>(bits);
    out[17] = bits == 32 ? 8 : 0; // alpha bits; rows bottom-up
    size_t bytes = static_cast<size_t>(bits) / 8;
    std::vector<uint32_t> rows;
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t x = 0; x < width; ++x)
            rows.push_back(texels[static_cast<size_t>(height - 1 - row) * width + x]);
    auto texel = [&](uint32_t t)
    {
        for (size_t i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(t >> (8 * i)));
    };
    if (!rle)
    {
        for (uint32_t t : rows)
            texel(t);
        return out;
    }
    // Runs of equal texels as repeat packets, everything else as raw packets of one texel.
    for (size_t i = 0; i < rows.size();)
    {
        size_t run = 1;
        while (i + run < rows.size() && run < 128 && rows[i + run] == rows[i])
            ++run;
        out.push_back(static_cast<uint8_t>(run > 1 ? 0x80 | (run - 1) : 0));
        texel(rows[i]);
        i += run;
    }
    return out;
}

namespace
{
std::vector<uint8_t> DdsHeader(uint32_t width, uint32_t height, uint32_t levels, uint32_t pfFlags,
                               uint32_t fourCC, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    std::vector<uint8_t> out{'D', 'D', 'S', ' '};
    Put32(out, 124);
    Put32(out,
          0x1 | 0x2 | 0x4 | 0x1000 | (levels > 1 ? 0x20000 : 0)); // caps, height, width, format, mip count
    Put32(out, height);
    Put32(out, width);
    Put32(out, 0); // pitch or linear size
    Put32(out, 0); // depth
    Put32(out, levels);
    for (int i = 0; i < 11; ++i)
        Put32(out, 0);
    Put32(out, 32);
    Put32(out, pfFlags);
    Put32(out, fourCC);
    Put32(out, bits);
    Put32(out, r);
    Put32(out, g);
    Put32(out, b);
    Put32(out, a);
    Put32(out, 0x1000 | (levels > 1 ? 0x400008 : 0)); // texture, complex mipmap
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    return out;
}
} // namespace

std::vector<uint8_t> DdsDxt(const char* fourCC, uint32_t width, uint32_t height, uint32_t levels,
                            uint32_t seed)
{
    uint32_t code = static_cast<uint32_t>(fourCC[0]) | static_cast<uint32_t>(fourCC[1]) << 8 |
                    static_cast<uint32_t>(fourCC[2]) << 16 | static_cast<uint32_t>(fourCC[3]) << 24;
    std::vector<uint8_t> out = DdsHeader(width, height, levels, 0x4, code, 0, 0, 0, 0, 0);
    uint32_t blockBytes = std::strcmp(fourCC, "DXT1") == 0 ? 8 : 16;
    std::mt19937 random(seed);
    for (uint32_t level = 0; level < levels; ++level)
    {
        uint32_t w = std::max(1u, width >> level), h = std::max(1u, height >> level);
        size_t bytes =
            static_cast<size_t>(std::max(1u, (w + 3) / 4)) * std::max(1u, (h + 3) / 4) * blockBytes;
        for (size_t i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(random()));
    }
    return out;
}

std::vector<uint8_t> DdsArgb(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> out = DdsHeader(width, height, 1, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    for (uint32_t t : texels)
        Put32(out, t);
    return out;
}

std::vector<uint8_t> Png(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, bool alpha)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels;
    for (uint32_t t : texels)
    {
        pixels.push_back(static_cast<uint8_t>(t >> 16));
        pixels.push_back(static_cast<uint8_t>(t >> 8));
        pixels.push_back(static_cast<uint8_t>(t));
        if (alpha)
            pixels.push_back(static_cast<uint8_t>(t >> 24));
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
        throw std::runtime_error("PNG writer failed");
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr))
        throw std::runtime_error("PNG writer failed");
    out.resize(size);
    return out;
}

std::vector<uint8_t> Jpeg(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, int quality)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (uint32_t y = 0; y < height; ++y)
    {
        for (uint32_t x = 0; x < width; ++x)
        {
            uint32_t t = texels[static_cast<size_t>(y) * width + x];
            row[3 * x] = static_cast<uint8_t>(t >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(t >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(t);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> PngSamples(const std::vector<uint16_t>& samples, uint32_t width, uint32_t height,
                                const PngSpec& spec)
{
    const int channels = spec.colourType == PngSpec::GreyAlpha ? 2
                         : spec.colourType == PngSpec::Rgb      ? 3
                         : spec.colourType == PngSpec::Rgba     ? 4
                                                                           : 1;
    if (samples.size() != static_cast<size_t>(width) * height * channels)
        throw std::runtime_error("PNG samples do not fit the size");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> out;
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("PNG writer failed");
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length)
        {
            auto* sink = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            sink->insert(sink->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, spec.depth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (uint32_t c : spec.palette)
        palette.push_back(png_color{static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                                    static_cast<png_byte>(c)});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    std::vector<png_byte> alphas;
    png_color_16 colour{};
    if (!spec.transparency.empty())
    {
        if (spec.colourType == PngSpec::Palette)
        {
            for (uint16_t a : spec.transparency)
                alphas.push_back(static_cast<png_byte>(a));
            png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
        }
        else
        {
            colour.gray = spec.transparency[0];
            colour.red = spec.transparency[0];
            colour.green = spec.transparency.size() > 1 ? spec.transparency[1] : 0;
            colour.blue = spec.transparency.size() > 2 ? spec.transparency[2] : 0;
            png_set_tRNS(png, info, nullptr, 0, &colour);
        }
    }
    if (spec.gamma)
        png_set_gAMA_fixed(png, info, static_cast<png_fixed_point>(spec.gamma));
    png_write_info(png, info);
    // Rows packed as the file stores them: samples of less than 8 bits share bytes, 16-bit ones are
    // big-endian.
    const size_t rowBytes = (static_cast<size_t>(width) * channels * spec.depth + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(height, std::vector<uint8_t>(rowBytes, 0));
    for (uint32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < static_cast<size_t>(width) * channels; ++i)
        {
            uint16_t v = samples[static_cast<size_t>(y) * width * channels + i];
            std::vector<uint8_t>& row = rows[y];
            if (spec.depth == 16)
            {
                row[2 * i] = static_cast<uint8_t>(v >> 8);
                row[2 * i + 1] = static_cast<uint8_t>(v);
            }
            else if (spec.depth == 8)
                row[i] = static_cast<uint8_t>(v);
            else
            {
                size_t bit = i * spec.depth;
                row[bit / 8] |= static_cast<uint8_t>(v << (8 - spec.depth - bit % 8));
            }
        }
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> BmpRle(const std::vector<uint8_t>& indices, const std::vector<uint32_t>& palette,
                            uint32_t width, uint32_t height, int bits)
{
    std::vector<uint8_t> code;
    auto literal = [&](const uint8_t* p, uint32_t n)
    {
        code.push_back(0);
        code.push_back(static_cast<uint8_t>(n));
        size_t start = code.size();
        if (bits == 8)
            code.insert(code.end(), p, p + n);
        else
            for (uint32_t i = 0; i < n; i += 2)
                code.push_back(static_cast<uint8_t>(p[i] << 4 | (i + 1 < n ? p[i + 1] : 0)));
        if ((code.size() - start) % 2)
            code.push_back(0);
    };
    for (uint32_t row = 0; row < height; ++row)
    {
        const uint8_t* line = indices.data() + static_cast<size_t>(height - 1 - row) * width;
        uint32_t end = width;
        while (end > 0 && line[end - 1] == 0)
            --end;
        uint32_t x = 0;
        while (x < end)
        {
            uint32_t run = 1;
            while (x + run < end && run < 255 && line[x + run] == line[x])
                ++run;
            if (line[x] == 0 && run > 3)
            {
                code.insert(code.end(), {0, 2, static_cast<uint8_t>(run), 0});
                x += run;
            }
            else if (run >= 3)
            {
                code.push_back(static_cast<uint8_t>(run));
                code.push_back(static_cast<uint8_t>(bits == 8 ? line[x] : line[x] << 4 | line[x]));
                x += run;
            }
            else
            {
                // A literal stretch up to the next run of three or the end (at least three pixels,
                // else single runs).
                uint32_t n = 0;
                while (x + n < end && n < 255)
                {
                    if (x + n + 2 < end && line[x + n] == line[x + n + 1] && line[x + n] == line[x + n + 2])
                        break;
                    ++n;
                }
                if (n >= 3)
                    literal(line + x, n);
                else
                    for (uint32_t i = 0; i < n; ++i)
                    {
                        code.push_back(1);
                        code.push_back(static_cast<uint8_t>(bits == 8 ? line[x + i] : line[x + i] << 4));
                    }
                x += n;
            }
        }
        code.insert(code.end(), {0, 0});
    }
    code.insert(code.end(), {0, 1});

    std::vector<uint8_t> out = {'B', 'M'};
    const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
    Put32(out, offset + static_cast<uint32_t>(code.size()));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, bits == 8 ? 1 : 2);
    Put32(out, static_cast<uint32_t>(code.size()));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(palette.size()));
    Put32(out, 0);
    for (uint32_t c : palette)
        Put32(out, c & 0xFFFFFF);
    out.insert(out.end(), code.begin(), code.end());
    return out;
}

std::vector<uint8_t> JpegCmyk(const std::vector<uint8_t>& cmyk, uint32_t width, uint32_t height, bool ycck)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (uint32_t y = 0; y < height; ++y)
    {
        JSAMPROW rows[1] = {const_cast<JSAMPLE*>(cmyk.data() + static_cast<size_t>(y) * width * 4)};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}
} // namespace ImageFiles
