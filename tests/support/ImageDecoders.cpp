#include "tests/support/ImageDecoders.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <stb/stb_image.h>

namespace
{
struct Jumping
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void Jump(j_common_ptr info)
{
    auto* e = reinterpret_cast<Jumping*>(info->err);
    (*e->pub.format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

void Quiet(j_common_ptr)
{
}
} // namespace

DecodedImage DecodeWithStb(const std::vector<uint8_t>& file)
{
    DecodedImage image;
    int channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &image.width, &image.height,
                                            &channels, 4);
    if (pixels == nullptr)
    {
        image.error = stbi_failure_reason() ? stbi_failure_reason() : "failed";
        return image;
    }
    image.rgba.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 4);
    stbi_image_free(pixels);
    return image;
}

DecodedImage DecodeWithStbPastGap(const std::vector<uint8_t>& file)
{
    auto u32 = [&](size_t at) -> uint32_t
    { return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24; };
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || u32(14) != 40 || u32(30) != 0 ||
        (file[28] | file[29] << 8) < 16)
        return DecodeWithStb(file);
    const uint32_t offset = u32(10);
    if (offset <= 54 || offset > file.size())
        return DecodeWithStb(file);
    std::vector<uint8_t> closed(file.begin(), file.begin() + 54);
    closed.insert(closed.end(), file.begin() + offset, file.end());
    auto put32 = [&](size_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            closed[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(2, static_cast<uint32_t>(closed.size()));
    put32(10, 54);
    return DecodeWithStb(closed);
}

DecodedImage DecodeBmp(const std::vector<uint8_t>& file)
{
    DecodedImage image;
    auto u32 = [&](size_t at) -> uint32_t
    { return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24; };
    auto u16 = [&](size_t at) -> uint32_t { return file[at] | file[at + 1] << 8; };
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || u32(14) != 40)
    {
        image.error = "not a BMP with a 40-byte header";
        return image;
    }
    const uint32_t offset = u32(10), bits = u16(28), compression = u32(30);
    const int32_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
    uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
    if (bits == 16)
    {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    if (compression == 3 && file.size() >= 66)
        for (int i = 0; i < 3; ++i)
            masks[i] = u32(54 + 4 * i);
    const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
    const size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) / 4 * 4;
    if ((bits != 16 && bits != 24 && bits != 32) || (compression != 0 && compression != 3) || width <= 0 ||
        offset + stride * rows > file.size())
    {
        image.error = "unsupported or short";
        return image;
    }
    image.width = width;
    image.height = static_cast<int>(rows);
    image.rgba.resize(static_cast<size_t>(width) * rows * 4);
    for (uint32_t row = 0; row < rows; ++row)
    {
        const uint32_t y = height > 0 ? rows - 1 - row : row;
        const uint8_t* line = file.data() + offset + row * stride;
        for (int32_t x = 0; x < width; ++x)
        {
            uint32_t pixel = 0;
            for (uint32_t b = 0; b < bits / 8; ++b)
                pixel |= uint32_t(line[x * (bits / 8) + b]) << (8 * b);
            uint8_t* out = &image.rgba[(static_cast<size_t>(y) * width + x) * 4];
            for (int c = 0; c < 3; ++c)
            {
                uint32_t mask = masks[c], shift = 0;
                while (mask != 0 && !(mask >> shift & 1))
                    ++shift;
                const uint32_t top = mask >> shift;
                out[c] = static_cast<uint8_t>(top ? ((pixel & mask) >> shift) * 255 / top : 0);
            }
            out[3] = 255;
        }
    }
    return image;
}

DecodedImage DecodeWithLibJpeg(const std::vector<uint8_t>& file)
{
    DecodedImage image;
    jpeg_decompress_struct info;
    Jumping errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = Jump;
    errors.pub.output_message = Quiet;
    std::vector<uint8_t> rgb;
    if (setjmp(errors.jump) != 0)
    {
        jpeg_destroy_decompress(&info);
        image.error = errors.message;
        image.rgba.clear();
        return image;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    rgb.resize(static_cast<size_t>(image.width) * 3);
    image.rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
    while (info.output_scanline < info.output_height)
    {
        const size_t y = info.output_scanline;
        JSAMPROW row = rgb.data();
        jpeg_read_scanlines(&info, &row, 1);
        for (int x = 0; x < image.width; ++x)
        {
            uint8_t* p = &image.rgba[(y * image.width + x) * 4];
            p[0] = rgb[x * 3];
            p[1] = rgb[x * 3 + 1];
            p[2] = rgb[x * 3 + 2];
            p[3] = 255;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

std::vector<uint8_t> CompressWithLibJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality,
                                         bool forceBaseline)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (quality >= 0)
        jpeg_set_quality(&info, quality, forceBaseline ? TRUE : FALSE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < height; ++y)
    {
        JSAMPROW row = const_cast<JSAMPLE*>(rgb.data() + static_cast<size_t>(y) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

std::string LibJpegErrorFor(int width, int height)
{
    jpeg_compress_struct info;
    Jumping errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = Jump;
    errors.pub.output_message = Quiet;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump) != 0)
    {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return errors.message;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    jpeg_abort_compress(&info);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return "";
}
