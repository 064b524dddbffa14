// Decoders and an encoder that are not ours, for checking the image files the engine writes:
// stb_image for BMP and JPEG, and the JPEG library's own compressor and decompressor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedImage
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // top row first, 4 bytes a pixel; empty when the file did not decode
    std::string error;
};

DecodedImage DecodeWithStb(const std::vector<uint8_t>& file);
// stb_image as above, for an uncompressed 16-, 24- or 32-bit BMP whose pixels do not follow its
// 54 header bytes at once. The file header's offset says where the pixels are, and a reader skips
// what stands before them (here the three masks an uncompressed file carries unused); the packaged
// stb_image refuses such a file ("bad offset"). It is given the file with the bytes between the
// header and the offset cut out and both offsets moved; not one header field or pixel byte changes.
// Every other file goes to stb_image as it is.
DecodedImage DecodeWithStbPastGap(const std::vector<uint8_t>& file);
// A small reader of uncompressed and bit-field BMPs of 16, 24 and 32 bits, as a viewer reads them:
// the pixels from the recorded offset, rows padded to 4 bytes, channels by their masks (5-5-5 for
// 16 bits without masks), alpha 255.
DecodedImage DecodeBmp(const std::vector<uint8_t>& file);
DecodedImage DecodeWithLibJpeg(const std::vector<uint8_t>& file);

// The JPEG library compressing RGB rows (top row first) at its defaults, or with
// jpeg_set_quality(quality, forceBaseline) when quality >= 0.
std::vector<uint8_t> CompressWithLibJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality = -1,
                                         bool forceBaseline = false);
// The message the JPEG library gives for an image of this size, or "" when it compresses.
std::string LibJpegErrorFor(int width, int height);
