#include "Engine/Views/XBitmap.h"

#include "Components/XException.h"
#include "Components/XStream.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

static_assert(JPEG_LIB_VERSION == 62, "the writer speaks the library's interface version 62");

namespace
{
// Narrow texts are in the ANSI code page (1251).
const char* const kUnsupportedType = "\xCD\xE5\xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xEC\xFB\xE9 "
                                     "\xF4\xEE\xF0\xEC\xE0\xF2 \xEF\xEE\xF2\xEE\xEA\xE0.";
constexpr unsigned kJpegBufferSize = 8192;
// Bytes per pixel of each layout index.
constexpr unsigned kLayoutBytes[6] = {4, 3, 2, 2, 2, 3};

unsigned Layout(uint32_t code)
{
    return code >> 28;
}

// ---- Row conversion: four channels on a 16-bit scale --------------------------------------------

struct Wide
{
    uint32_t r, g, b, a;
};

Wide ReadPixel(unsigned layout, const uint8_t* p)
{
    switch (layout)
    {
    case 0:
        return {p[2] * 257u, p[1] * 257u, p[0] * 257u, p[3] * 257u};
    case 1:
        return {p[2] * 257u, p[1] * 257u, p[0] * 257u, 0xFFFF};
    case 2:
    {
        uint32_t w = p[0] | p[1] << 8;
        return {(w >> 8 & 0xF) * 0x1111u, (w >> 4 & 0xF) * 0x1111u, (w & 0xF) * 0x1111u, (w >> 12) * 0x1111u};
    }
    case 3:
    {
        uint32_t w = p[0] | p[1] << 8;
        return {(w >> 10 & 0x1F) * 0x842u, (w >> 5 & 0x1F) * 0x842u, (w & 0x1F) * 0x842u, w & 0x8000 ? 0xFFFFu : 0u};
    }
    case 4:
    {
        uint32_t w = p[0] | p[1] << 8;
        return {(w >> 11) * 0x842u, (w >> 5 & 0x3F) * 0x410u, (w & 0x1F) * 0x842u, 0xFFFF};
    }
    default:
        return {p[0] * 257u, p[1] * 257u, p[2] * 257u, 0xFFFF};
    }
}

void WritePixel(unsigned layout, uint8_t* p, const Wide& c)
{
    switch (layout)
    {
    case 0:
        p[0] = static_cast<uint8_t>(c.b >> 8);
        p[1] = static_cast<uint8_t>(c.g >> 8);
        p[2] = static_cast<uint8_t>(c.r >> 8);
        p[3] = static_cast<uint8_t>(c.a >> 8);
        return;
    case 1:
        p[0] = static_cast<uint8_t>(c.b >> 8);
        p[1] = static_cast<uint8_t>(c.g >> 8);
        p[2] = static_cast<uint8_t>(c.r >> 8);
        return;
    case 2:
    {
        uint32_t w = (c.a >> 12) << 12 | (c.r >> 12) << 8 | (c.g >> 12) << 4 | c.b >> 12;
        p[0] = static_cast<uint8_t>(w);
        p[1] = static_cast<uint8_t>(w >> 8);
        return;
    }
    case 3:
    {
        uint32_t w = (c.a >> 15) << 15 | (c.r >> 11) << 10 | (c.g >> 11) << 5 | c.b >> 11;
        p[0] = static_cast<uint8_t>(w);
        p[1] = static_cast<uint8_t>(w >> 8);
        return;
    }
    case 4:
    {
        uint32_t w = (c.r >> 11) << 11 | (c.g >> 10) << 5 | c.b >> 11;
        p[0] = static_cast<uint8_t>(w);
        p[1] = static_cast<uint8_t>(w >> 8);
        return;
    }
    default:
        p[0] = static_cast<uint8_t>(c.r >> 8);
        p[1] = static_cast<uint8_t>(c.g >> 8);
        p[2] = static_cast<uint8_t>(c.b >> 8);
        return;
    }
}

// ---- The stream destination of the JPEG library ------------------------------------------------

struct StreamDestination
{
    jpeg_destination_mgr pub;
    XStream* stream;
    JOCTET* buffer;
    bool failed; // the stream took fewer bytes than it was given
};

// No C++ exception may cross the library: a stream that throws counts as a short write.
bool WriteAll(XStream* stream, const JOCTET* bytes, unsigned count)
{
    try
    {
        return stream->Write(bytes, count) == count;
    }
    catch (...)
    {
        return false;
    }
}

StreamDestination* DestinationOf(j_compress_ptr cinfo)
{
    return reinterpret_cast<StreamDestination*>(cinfo->dest);
}

void InitDestination(j_compress_ptr cinfo)
{
    StreamDestination* d = DestinationOf(cinfo);
    d->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kJpegBufferSize));
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kJpegBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    StreamDestination* d = DestinationOf(cinfo);
    if (!WriteAll(d->stream, d->buffer, kJpegBufferSize))
    {
        d->failed = true;
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kJpegBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    StreamDestination* d = DestinationOf(cinfo);
    const size_t used = kJpegBufferSize - d->pub.free_in_buffer;
    if (used > 0 && !WriteAll(d->stream, d->buffer, static_cast<unsigned>(used)))
    {
        d->failed = true;
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
}

void SetStreamDestination(j_compress_ptr cinfo, XStream* stream)
{
    if (cinfo->dest == nullptr)
        cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(StreamDestination)));
    StreamDestination* d = DestinationOf(cinfo);
    d->pub.init_destination = InitDestination;
    d->pub.empty_output_buffer = EmptyOutputBuffer;
    d->pub.term_destination = TermDestination;
    d->stream = stream;
    d->buffer = nullptr;
    d->failed = false;
}

// The standard error manager, but an error jumps back into the writer and nothing is printed.
struct JumpingErrors
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void JumpBack(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JumpingErrors*>(cinfo->err)->jump, 1);
}

void PrintNothing(j_common_ptr)
{
}

// The input colour space the library reads the pixels of a code in directly, or JCS_UNKNOWN when
// its rows are converted to RGB first.
J_COLOR_SPACE DirectColorSpace(uint32_t code)
{
    switch (Layout(code))
    {
    case 0:
        return JCS_EXT_BGRX;
    case 1:
        return JCS_EXT_BGR;
    case 5:
        return JCS_RGB;
    default:
        return JCS_UNKNOWN;
    }
}

// The compression itself, with every C++ object kept outside it: the library's errors come back
// here by a jump, which must not pass over a destructor.
// Returns 0 when done, 1 after a failed write, 2 after another error (its text in `message`).
int CompressJpeg(XStream* stream, const uint8_t* data, uint32_t width, uint32_t height, uint32_t code,
                 const XJpegParams* params, char (&message)[JMSG_LENGTH_MAX])
{
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JumpingErrors errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JumpBack;
    errors.pub.output_message = PrintNothing;
    if (setjmp(errors.jump) != 0)
    {
        const bool writeFailed = cinfo.dest != nullptr && DestinationOf(&cinfo)->failed;
        if (!writeFailed)
            (*errors.pub.format_message)(reinterpret_cast<j_common_ptr>(&cinfo), message);
        jpeg_destroy_compress(&cinfo); // frees the row buffer with the library's pools
        return writeFailed ? 1 : 2;
    }
    jpeg_CreateCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
    SetStreamDestination(&cinfo, stream);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    // Blue-first rows of 3 and 4 bytes go to the library as they stand: it turns them into its
    // colour space itself, with the same arithmetic as for RGB rows, so the file is the same.
    const J_COLOR_SPACE direct = DirectColorSpace(code);
    if (direct != JCS_UNKNOWN)
    {
        cinfo.in_color_space = direct;
        cinfo.input_components = static_cast<int>(XBitmap::BytesPerPixel(code));
    }
    jpeg_set_defaults(&cinfo);
    if (params)
        jpeg_set_quality(&cinfo, params->quality, params->forceBaseline ? TRUE : FALSE);
    jpeg_start_compress(&cinfo, TRUE);
    // Rows go in blocks of the library's own height of work (16 rows for halved chroma).
    constexpr uint32_t kBlock = 16;
    JSAMPROW rows[kBlock];
    JSAMPARRAY converted = direct != JCS_UNKNOWN ? nullptr
                                                 : (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                                              JPOOL_IMAGE, width * 3, kBlock);
    const size_t stride = static_cast<size_t>(width) * XBitmap::BytesPerPixel(code);
    for (uint32_t y = 0; y < height;)
    {
        const uint32_t count = std::min(kBlock, height - y);
        for (uint32_t i = 0; i < count; ++i)
        {
            // The library only reads the rows it is given.
            JSAMPLE* source = const_cast<JSAMPLE*>(data + (y + i) * stride);
            if (!converted)
                rows[i] = source;
            else if (XBitmap::ConvertRow(converted[i], XBitmap::FormatRGB, source, code, width))
                rows[i] = converted[i];
            else
                ERREXIT(&cinfo, JERR_BAD_IN_COLORSPACE); // not reached: Save checks the layout first
        }
        const JDIMENSION taken = jpeg_write_scanlines(&cinfo, rows, count);
        if (taken == 0)
            ERREXIT(&cinfo, JERR_CANT_SUSPEND); // the destination never suspends
        y += taken;
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}
} // namespace

XBitmap::~XBitmap()
{
    delete[] m_Data;
}

void XBitmap::Clear()
{
    delete[] m_Data;
    m_Data = nullptr;
    m_Width = 0;
    m_Height = 0;
}

void XBitmap::Set(uint8_t* data, uint32_t width, uint32_t height, uint8_t bitsPerPixel, uint32_t code)
{
    Clear();
    m_Data = data;
    m_Width = width;
    m_Height = height;
    m_BitsPerPixel = bitsPerPixel;
    m_Format = code;
}

void XBitmap::CheckSavable() const
{
    const unsigned layout = Layout(m_Format);
    if (layout >= 6 || BytesPerPixel(m_Format) != kLayoutBytes[layout] ||
        m_BitsPerPixel != BytesPerPixel(m_Format) * 8)
        throw "Invalid pixel format.";
    if (m_Data == nullptr || m_Width == 0 || m_Height == 0)
        throw "Bitmap is empty.";
}

void XBitmap::Save(XStream* stream, XBitmapSourceType type)
{
    if (type == bstBMP)
        return SaveBmp(stream, false);
    if (type == bstJPEG)
        return SaveJpeg(stream, nullptr);
    throw kUnsupportedType;
}

void XBitmap::SaveBmp(XStream* stream, bool topDown)
{
    if (m_Format != FormatA8R8G8B8 && m_Format != FormatR8G8B8 && m_Format != FormatA1R5G5B5 &&
        m_Format != FormatR5G6B5)
        throw "Invalid pixel format.";
    CheckSavable();
    const uint64_t rowBytes = uint64_t(m_Width) * (m_BitsPerPixel / 8);
    const uint64_t padded = (rowBytes + 3) & ~uint64_t(3);
    const uint64_t size = padded * m_Height;
    const bool bitFields = m_Format == FormatR5G6B5;
    const uint32_t offset = bitFields ? 66 : 54;
    if (m_Width > 0x7FFFFFFFu || m_Height > 0x7FFFFFFFu || size + offset > 0xFFFFFFFFu)
        throw "Bitmap is too large.";

    uint8_t header[66] = {};
    auto put16 = [&](unsigned at, uint32_t v)
    {
        header[at] = static_cast<uint8_t>(v);
        header[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](unsigned at, uint32_t v)
    {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, static_cast<uint32_t>(offset + size));
    put32(10, offset);
    put32(14, 40);
    put32(18, m_Width);
    put32(22, topDown ? static_cast<uint32_t>(-static_cast<int32_t>(m_Height)) : m_Height);
    put16(26, 1);
    put16(28, m_BitsPerPixel);
    put32(30, bitFields ? 3 : 0);
    put32(34, static_cast<uint32_t>(size));
    put32(38, 120);
    put32(42, 120);
    if (bitFields)
    {
        put32(54, 0xF800);
        put32(58, 0x07E0);
        put32(62, 0x001F);
    }
    stream->WriteBuffer(header, offset);
    if (padded == rowBytes)
    {
        stream->WriteBuffer(m_Data, static_cast<unsigned>(size));
        return;
    }
    std::vector<uint8_t> row(static_cast<size_t>(padded), 0);
    for (uint32_t y = 0; y < m_Height; ++y)
    {
        std::memcpy(row.data(), m_Data + y * rowBytes, static_cast<size_t>(rowBytes));
        stream->WriteBuffer(row.data(), static_cast<unsigned>(padded));
    }
}

void XBitmap::SaveJpeg(XStream* stream, const XJpegParams* params)
{
    CheckSavable();
    char message[JMSG_LENGTH_MAX] = {};
    const int result = CompressJpeg(stream, m_Data, m_Width, m_Height, m_Format, params, message);
    if (result == 1)
        throw "Stream writing error.";
    if (result == 2)
        throw XException(message);
}

bool XBitmap::ConvertRow(void* dst, uint32_t dstCode, const void* src, uint32_t srcCode, uint32_t count)
{
    if (dstCode == srcCode)
    {
        std::memcpy(dst, src, static_cast<size_t>(count) * BytesPerPixel(srcCode));
        return true;
    }
    const unsigned from = Layout(srcCode), to = Layout(dstCode);
    if (from >= 6 || to >= 6)
        return false;
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    const unsigned inStep = BytesPerPixel(srcCode), outStep = BytesPerPixel(dstCode);
    if ((from == 0 || from == 1) && to == 5)
    {
        // The JPEG path's row: the bytes turned round.
        for (uint32_t i = 0; i < count; ++i, in += inStep, out += 3)
        {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        return true;
    }
    for (uint32_t i = 0; i < count; ++i, in += inStep, out += outStep)
        WritePixel(to, out, ReadPixel(from, in));
    return true;
}
