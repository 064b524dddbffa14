// Text services of the Win32 layer: code-page conversions, case mapping and string lengths.
//
// Code pages: the ANSI page (CP_ACP, CP_THREAD_ACP) is Windows-1251, converted with our own table
// because it is single-byte and sits on hot paths; UTF-8 has its own codec; 936 (archive names)
// and the OEM page 866 go through glibc iconv with descriptors cached per thread. Whatever a code
// page cannot hold becomes one '?' per character, and decoding always goes on after it.
#include "Platform/Win32/Windows.h"
#include "Platform/Win32/Detail.h"

#include <iconv.h>

#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>

namespace
{
// ---- Windows-1251 ------------------------------------------------------------------------------

// Bytes 0x80..0xFF; 0x98 is unassigned (0 marks it). 0x00..0x7F are ASCII.
constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8
};

// The UTF-16 unit of a 1251 byte; 0 for the unassigned byte.
constexpr char16_t Cp1251ToWide(unsigned char byte)
{
    return byte < 0x80 ? byte : kCp1251High[byte - 0x80];
}

// The 1251 byte of a UTF-16 unit; -1 when the page has no such character.
constexpr int WideToCp1251(char16_t c)
{
    if (c < 0x80)
        return c;
    if (c >= 0x0410 && c <= 0x044F) // the Russian alphabet, by far the most common case
        return c - 0x0410 + 0xC0;
    for (int i = 0; i < 0x40; ++i)
        if (kCp1251High[static_cast<size_t>(i)] == c)
            return 0x80 + i;
    return -1;
}

// ---- Case mapping ------------------------------------------------------------------------------

// Simple (one unit to one unit) lower-case mapping over the whole Basic Multilingual Plane, from the
// Unicode character database: runs of code units that map by the same offset, every unit of the
// run (stride 1) or every other one (stride 2, the alternating capital/small pairs). Upper case is
// its inverse: where several capitals share one small letter (K and the Kelvin sign), the first
// one wins. In-place conversion therefore never changes a length.
struct CaseRun
{
    char16_t first;
    char16_t last;
    int32_t delta;
    uint8_t stride;
};

const CaseRun kLowerRuns[] = {
    {0x0041, 0x005A, 32, 1}, {0x00C0, 0x00D6, 32, 1}, {0x00D8, 0x00DE, 32, 1}, {0x0100, 0x012E, 1, 2},
    {0x0132, 0x0136, 1, 2}, {0x0139, 0x0147, 1, 2}, {0x014A, 0x0176, 1, 2}, {0x0178, 0x0178, -121, 1},
    {0x0179, 0x017D, 1, 2}, {0x0181, 0x0181, 210, 1}, {0x0182, 0x0184, 1, 2}, {0x0186, 0x0186, 206, 1},
    {0x0187, 0x0187, 1, 1}, {0x0189, 0x018A, 205, 1}, {0x018B, 0x018B, 1, 1}, {0x018E, 0x018E, 79, 1},
    {0x018F, 0x018F, 202, 1}, {0x0190, 0x0190, 203, 1}, {0x0191, 0x0191, 1, 1}, {0x0193, 0x0193, 205, 1},
    {0x0194, 0x0194, 207, 1}, {0x0196, 0x0196, 211, 1}, {0x0197, 0x0197, 209, 1}, {0x0198, 0x0198, 1, 1},
    {0x019C, 0x019C, 211, 1}, {0x019D, 0x019D, 213, 1}, {0x019F, 0x019F, 214, 1}, {0x01A0, 0x01A4, 1, 2},
    {0x01A6, 0x01A6, 218, 1}, {0x01A7, 0x01A7, 1, 1}, {0x01A9, 0x01A9, 218, 1}, {0x01AC, 0x01AC, 1, 1},
    {0x01AE, 0x01AE, 218, 1}, {0x01AF, 0x01AF, 1, 1}, {0x01B1, 0x01B2, 217, 1}, {0x01B3, 0x01B5, 1, 2},
    {0x01B7, 0x01B7, 219, 1}, {0x01B8, 0x01B8, 1, 1}, {0x01BC, 0x01BC, 1, 1}, {0x01C4, 0x01C4, 2, 1},
    {0x01C5, 0x01C5, 1, 1}, {0x01C7, 0x01C7, 2, 1}, {0x01C8, 0x01C8, 1, 1}, {0x01CA, 0x01CA, 2, 1},
    {0x01CB, 0x01DB, 1, 2}, {0x01DE, 0x01EE, 1, 2}, {0x01F1, 0x01F1, 2, 1}, {0x01F2, 0x01F4, 1, 2},
    {0x01F6, 0x01F6, -97, 1}, {0x01F7, 0x01F7, -56, 1}, {0x01F8, 0x021E, 1, 2}, {0x0220, 0x0220, -130, 1},
    {0x0222, 0x0232, 1, 2}, {0x023A, 0x023A, 10795, 1}, {0x023B, 0x023B, 1, 1}, {0x023D, 0x023D, -163, 1},
    {0x023E, 0x023E, 10792, 1}, {0x0241, 0x0241, 1, 1}, {0x0243, 0x0243, -195, 1}, {0x0244, 0x0244, 69, 1},
    {0x0245, 0x0245, 71, 1}, {0x0246, 0x024E, 1, 2}, {0x0370, 0x0372, 1, 2}, {0x0376, 0x0376, 1, 1},
    {0x037F, 0x037F, 116, 1}, {0x0386, 0x0386, 38, 1}, {0x0388, 0x038A, 37, 1}, {0x038C, 0x038C, 64, 1},
    {0x038E, 0x038F, 63, 1}, {0x0391, 0x03A1, 32, 1}, {0x03A3, 0x03AB, 32, 1}, {0x03CF, 0x03CF, 8, 1},
    {0x03D8, 0x03EE, 1, 2}, {0x03F4, 0x03F4, -60, 1}, {0x03F7, 0x03F7, 1, 1}, {0x03F9, 0x03F9, -7, 1},
    {0x03FA, 0x03FA, 1, 1}, {0x03FD, 0x03FF, -130, 1}, {0x0400, 0x040F, 80, 1}, {0x0410, 0x042F, 32, 1},
    {0x0460, 0x0480, 1, 2}, {0x048A, 0x04BE, 1, 2}, {0x04C0, 0x04C0, 15, 1}, {0x04C1, 0x04CD, 1, 2},
    {0x04D0, 0x052E, 1, 2}, {0x0531, 0x0556, 48, 1}, {0x10A0, 0x10C5, 7264, 1}, {0x10C7, 0x10C7, 7264, 1},
    {0x10CD, 0x10CD, 7264, 1}, {0x13A0, 0x13EF, 38864, 1}, {0x13F0, 0x13F5, 8, 1},
    {0x1C90, 0x1CBA, -3008, 1}, {0x1CBD, 0x1CBF, -3008, 1}, {0x1E00, 0x1E94, 1, 2},
    {0x1E9E, 0x1E9E, -7615, 1}, {0x1EA0, 0x1EFE, 1, 2}, {0x1F08, 0x1F0F, -8, 1}, {0x1F18, 0x1F1D, -8, 1},
    {0x1F28, 0x1F2F, -8, 1}, {0x1F38, 0x1F3F, -8, 1}, {0x1F48, 0x1F4D, -8, 1}, {0x1F59, 0x1F5F, -8, 2},
    {0x1F68, 0x1F6F, -8, 1}, {0x1F88, 0x1F8F, -8, 1}, {0x1F98, 0x1F9F, -8, 1}, {0x1FA8, 0x1FAF, -8, 1},
    {0x1FB8, 0x1FB9, -8, 1}, {0x1FBA, 0x1FBB, -74, 1}, {0x1FBC, 0x1FBC, -9, 1}, {0x1FC8, 0x1FCB, -86, 1},
    {0x1FCC, 0x1FCC, -9, 1}, {0x1FD8, 0x1FD9, -8, 1}, {0x1FDA, 0x1FDB, -100, 1}, {0x1FE8, 0x1FE9, -8, 1},
    {0x1FEA, 0x1FEB, -112, 1}, {0x1FEC, 0x1FEC, -7, 1}, {0x1FF8, 0x1FF9, -128, 1},
    {0x1FFA, 0x1FFB, -126, 1}, {0x1FFC, 0x1FFC, -9, 1}, {0x2126, 0x2126, -7517, 1},
    {0x212A, 0x212A, -8383, 1}, {0x212B, 0x212B, -8262, 1}, {0x2132, 0x2132, 28, 1},
    {0x2160, 0x216F, 16, 1}, {0x2183, 0x2183, 1, 1}, {0x24B6, 0x24CF, 26, 1}, {0x2C00, 0x2C2F, 48, 1},
    {0x2C60, 0x2C60, 1, 1}, {0x2C62, 0x2C62, -10743, 1}, {0x2C63, 0x2C63, -3814, 1},
    {0x2C64, 0x2C64, -10727, 1}, {0x2C67, 0x2C6B, 1, 2}, {0x2C6D, 0x2C6D, -10780, 1},
    {0x2C6E, 0x2C6E, -10749, 1}, {0x2C6F, 0x2C6F, -10783, 1}, {0x2C70, 0x2C70, -10782, 1},
    {0x2C72, 0x2C72, 1, 1}, {0x2C75, 0x2C75, 1, 1}, {0x2C7E, 0x2C7F, -10815, 1}, {0x2C80, 0x2CE2, 1, 2},
    {0x2CEB, 0x2CED, 1, 2}, {0x2CF2, 0x2CF2, 1, 1}, {0xA640, 0xA66C, 1, 2}, {0xA680, 0xA69A, 1, 2},
    {0xA722, 0xA72E, 1, 2}, {0xA732, 0xA76E, 1, 2}, {0xA779, 0xA77B, 1, 2}, {0xA77D, 0xA77D, -35332, 1},
    {0xA77E, 0xA786, 1, 2}, {0xA78B, 0xA78B, 1, 1}, {0xA78D, 0xA78D, -42280, 1}, {0xA790, 0xA792, 1, 2},
    {0xA796, 0xA7A8, 1, 2}, {0xA7AA, 0xA7AA, -42308, 1}, {0xA7AB, 0xA7AB, -42319, 1},
    {0xA7AC, 0xA7AC, -42315, 1}, {0xA7AD, 0xA7AD, -42305, 1}, {0xA7AE, 0xA7AE, -42308, 1},
    {0xA7B0, 0xA7B0, -42258, 1}, {0xA7B1, 0xA7B1, -42282, 1}, {0xA7B2, 0xA7B2, -42261, 1},
    {0xA7B3, 0xA7B3, 928, 1}, {0xA7B4, 0xA7C2, 1, 2}, {0xA7C4, 0xA7C4, -48, 1}, {0xA7C5, 0xA7C5, -42307, 1},
    {0xA7C6, 0xA7C6, -35384, 1}, {0xA7C7, 0xA7C9, 1, 2}, {0xA7D0, 0xA7D0, 1, 1}, {0xA7D6, 0xA7D8, 1, 2},
    {0xA7F5, 0xA7F5, 1, 1}, {0xFF21, 0xFF3A, 32, 1},
};

struct CaseTables
{
    std::array<char16_t, 0x10000> lower{};
    std::array<char16_t, 0x10000> upper{};
    std::array<unsigned char, 256> lowerAnsi{};
    std::array<unsigned char, 256> upperAnsi{};
};

template <size_t N> void ApplyRuns(std::array<char16_t, 0x10000>& table, const CaseRun (&runs)[N])
{
    for (const CaseRun& run : runs)
        for (uint32_t c = run.first; c <= run.last; c += run.stride)
            table[c] = static_cast<char16_t>(static_cast<int32_t>(c) + run.delta);
}

void FillCaseTables(CaseTables& t)
{
    for (uint32_t c = 0; c < 0x10000; ++c)
        t.lower[c] = t.upper[c] = static_cast<char16_t>(c);
    ApplyRuns(t.lower, kLowerRuns);
    t.lower[0x130] = u'i'; // capital I with dot above: its full lower case has two units
    for (uint32_t c = 0x10000; c-- > 0;) // descending, so that the lowest capital is written last
        if (t.lower[c] != c && c != 0x130 && c != 0x1E9E) // sharp s has no one-unit capital
            t.upper[t.lower[c]] = static_cast<char16_t>(c);
    t.upper[0x131] = u'I';  // dotless i
    t.upper[0x17F] = u'S';  // long s
    t.upper[0x3C2] = 0x3A3; // final sigma
    for (int b = 0; b < 256; ++b)
    {
        t.lowerAnsi[static_cast<size_t>(b)] = static_cast<unsigned char>(b);
        t.upperAnsi[static_cast<size_t>(b)] = static_cast<unsigned char>(b);
        char16_t w = Cp1251ToWide(static_cast<unsigned char>(b));
        if (w == 0)
            continue;
        int lower = WideToCp1251(t.lower[w]);
        int upper = WideToCp1251(t.upper[w]);
        if (lower >= 0)
            t.lowerAnsi[static_cast<size_t>(b)] = static_cast<unsigned char>(lower);
        if (upper >= 0)
            t.upperAnsi[static_cast<size_t>(b)] = static_cast<unsigned char>(upper);
    }
}

// Built once, on first use, before any caller can see it.
const CaseTables& Case()
{
    static const CaseTables* tables = []
    {
        auto* t = new CaseTables; // kept for the life of the process
        FillCaseTables(*t);
        return t;
    }();
    return *tables;
}

// ---- Conversion machinery ----------------------------------------------------------------------

// Output of a conversion: counts every unit, stores while there is room and notes an overflow.
// Without a buffer it only counts (the "how much is needed" call).
template <class T> struct Sink
{
    T* out;
    int capacity;
    int64_t count = 0;
    bool overflow = false;

    void Put(T c)
    {
        if (out)
        {
            if (count >= capacity)
            {
                overflow = true;
                return;
            }
            out[count] = c;
        }
        ++count;
    }
    bool Done() const { return overflow; }
};

using WideSink = Sink<WCHAR>;
using ByteSink = Sink<char>;

// The replacement written by the narrow direction for characters a page cannot hold.
struct Replacement
{
    char bytes[2];
    int length;
    BOOL used = FALSE;

    void PutTo(ByteSink& sink)
    {
        used = TRUE;
        for (int i = 0; i < length; ++i)
            sink.Put(bytes[i]);
    }
};

enum class Codec
{
    Ansi1251,
    Utf8,
    Iconv,
};

struct CodePageInfo
{
    Codec codec;
    UINT number;      // the page as iconv knows it
    const char* name; // iconv's name
    bool doubleByte;  // lead bytes 0x81..0xFE take a trail byte
};

bool ResolveCodePage(UINT codePage, CodePageInfo& info)
{
    switch (codePage)
    {
    case CP_ACP:
    case CP_THREAD_ACP:
    case CP_1251:
        info = {Codec::Ansi1251, CP_1251, nullptr, false};
        return true;
    case CP_UTF8:
        info = {Codec::Utf8, CP_UTF8, nullptr, false};
        return true;
    case CP_GBK:
        info = {Codec::Iconv, CP_GBK, "CP936", true};
        return true;
    case CP_OEMCP: // the OEM page that goes with the Cyrillic ANSI page
    case 866:
        info = {Codec::Iconv, 866, "CP866", false};
        return true;
    default:
        return false;
    }
}

constexpr const char* kUtf16Name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// iconv descriptors, opened on first use and kept for the thread's lifetime: opening one costs far
// more than converting an archive entry name.
class IconvCache
{
public:
    IconvCache() = default;
    IconvCache(const IconvCache&) = delete;
    IconvCache& operator=(const IconvCache&) = delete;
    ~IconvCache()
    {
        for (Slot& slot : m_slots)
        {
            if (slot.toWide != kNone)
                iconv_close(slot.toWide);
            if (slot.fromWide != kNone)
                iconv_close(slot.fromWide);
        }
    }

    // Reset to the initial state; kNone when the page is not available.
    iconv_t Get(const CodePageInfo& info, bool toWide)
    {
        Slot* free = nullptr;
        for (Slot& slot : m_slots)
        {
            if (slot.number == info.number)
                return Prepare(slot, info, toWide);
            if (slot.number == 0 && !free)
                free = &slot;
        }
        if (!free)
            return kNone;
        free->number = info.number;
        return Prepare(*free, info, toWide);
    }

    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));

private:
    struct Slot
    {
        UINT number = 0;
        iconv_t toWide = kNone;
        iconv_t fromWide = kNone;
    };

    static iconv_t Prepare(Slot& slot, const CodePageInfo& info, bool toWide)
    {
        iconv_t& cd = toWide ? slot.toWide : slot.fromWide;
        if (cd == kNone)
            cd = toWide ? iconv_open(kUtf16Name, info.name) : iconv_open(info.name, kUtf16Name);
        if (cd != kNone)
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }

    std::array<Slot, 4> m_slots;
};

thread_local IconvCache t_iconv;

// How many bytes an invalid or unmappable sequence at `in` spans: a double-byte page's lead byte
// swallows a valid trail byte; anything else is one byte, so that an ASCII byte after a stray lead
// byte survives.
size_t BadSequenceLength(const CodePageInfo& info, const unsigned char* in, size_t left)
{
    if (!info.doubleByte || left < 2 || in[0] < 0x81 || in[0] > 0xFE)
        return 1;
    unsigned char trail = in[1];
    bool validTrail = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE);
    return validTrail ? 2 : 1;
}

bool DecodeIconv(const CodePageInfo& info, const unsigned char* in, size_t length, WideSink& sink)
{
    iconv_t cd = t_iconv.Get(info, true);
    if (cd == IconvCache::kNone)
        return false;
    size_t pos = 0;
    WCHAR chunk[256];
    while (pos < length && !sink.Done())
    {
        if (in[pos] < 0x80)
        {
            sink.Put(in[pos++]);
            continue;
        }
        char* src = reinterpret_cast<char*>(const_cast<unsigned char*>(in + pos));
        size_t srcLeft = length - pos;
        char* dst = reinterpret_cast<char*>(chunk);
        size_t dstLeft = sizeof(chunk);
        size_t result = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        int error = errno;
        size_t produced = (sizeof(chunk) - dstLeft) / sizeof(WCHAR);
        for (size_t i = 0; i < produced; ++i)
            sink.Put(chunk[i]);
        pos = length - srcLeft;
        if (result != static_cast<size_t>(-1) || error == E2BIG)
            continue;
        if (error != EILSEQ && error != EINVAL)
            return false;
        sink.Put(u'?');
        pos += BadSequenceLength(info, in + pos, length - pos);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

using Platform::Detail::IsHighSurrogate;
using Platform::Detail::IsLowSurrogate;

bool EncodeIconv(const CodePageInfo& info, const WCHAR* in, size_t length, ByteSink& sink,
                 Replacement& replacement)
{
    iconv_t cd = t_iconv.Get(info, false);
    if (cd == IconvCache::kNone)
        return false;
    size_t pos = 0;
    char chunk[512];
    while (pos < length && !sink.Done())
    {
        if (in[pos] < 0x80)
        {
            sink.Put(static_cast<char>(in[pos++]));
            continue;
        }
        char* src = reinterpret_cast<char*>(const_cast<WCHAR*>(in + pos));
        size_t srcLeft = (length - pos) * sizeof(WCHAR);
        char* dst = chunk;
        size_t dstLeft = sizeof(chunk);
        size_t result = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        int error = errno;
        size_t produced = sizeof(chunk) - dstLeft;
        for (size_t i = 0; i < produced; ++i)
            sink.Put(chunk[i]);
        pos = length - srcLeft / sizeof(WCHAR);
        if (result != static_cast<size_t>(-1) || error == E2BIG)
            continue;
        if (error != EILSEQ && error != EINVAL)
            return false;
        replacement.PutTo(sink);
        bool pair = pos + 1 < length && IsHighSurrogate(in[pos]) && IsLowSurrogate(in[pos + 1]);
        pos += pair ? 2 : 1;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

void PutCodePoint(WideSink& sink, char32_t cp)
{
    WCHAR units[2];
    unsigned n = Platform::Detail::EncodeUtf16(cp, units);
    for (unsigned i = 0; i < n; ++i)
        sink.Put(units[i]);
}

// Well-formed UTF-8 only; each maximal ill-formed subsequence becomes one '?'.
void DecodeUtf8(const unsigned char* in, size_t length, WideSink& sink)
{
    const unsigned char* end = in + length;
    while (in != end && !sink.Done())
    {
        char32_t cp = Platform::Detail::DecodeUtf8(in, end);
        if (cp == Platform::Detail::InvalidCodePoint)
            sink.Put(u'?');
        else
            PutCodePoint(sink, cp);
    }
}

void EncodeUtf8(const WCHAR* in, size_t length, ByteSink& sink, Replacement& replacement)
{
    const WCHAR* end = in + length;
    while (in != end && !sink.Done())
    {
        char32_t cp = Platform::Detail::DecodeUtf16(in, end);
        if (cp == Platform::Detail::InvalidCodePoint)
        {
            replacement.PutTo(sink);
            continue;
        }
        char bytes[4];
        unsigned n = Platform::Detail::EncodeUtf8(cp, bytes);
        for (unsigned i = 0; i < n; ++i)
            sink.Put(bytes[i]);
    }
}

void Decode1251(const unsigned char* in, size_t length, WideSink& sink)
{
    for (size_t pos = 0; pos < length && !sink.Done(); ++pos)
    {
        char16_t c = Cp1251ToWide(in[pos]);
        sink.Put(c == 0 && in[pos] != 0 ? u'?' : c);
    }
}

void Encode1251(const WCHAR* in, size_t length, ByteSink& sink, Replacement& replacement)
{
    for (size_t pos = 0; pos < length && !sink.Done(); ++pos)
    {
        int byte = WideToCp1251(in[pos]);
        if (byte >= 0)
        {
            sink.Put(static_cast<char>(byte));
            continue;
        }
        replacement.PutTo(sink);
        if (IsHighSurrogate(in[pos]) && pos + 1 < length && IsLowSurrogate(in[pos + 1]))
            ++pos; // one character, one replacement
    }
}

// Common end of both directions: the Win32 return value and error.
template <class T> int Finish(const Sink<T>& sink)
{
    if (sink.overflow)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (sink.count > INT_MAX)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return static_cast<int>(sink.count);
}

// Replaces each character of a NUL-terminated text by map(character); null stays null.
template <class T, class Map> T* MapInPlace(T* text, Map map)
{
    if (!text)
        return text;
    for (T* p = text; *p; ++p)
        *p = map(*p);
    return text;
}

template <class T> size_t TextLength(const T* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}
} // namespace

int MultiByteToWideChar(UINT codePage, DWORD /*flags*/, LPCSTR multiByte, int cbMultiByte, LPWSTR wideChar,
                        int cchWideChar)
{
    CodePageInfo info{};
    if (!multiByte || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !wideChar) || !ResolveCodePage(codePage, info))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(multiByte);
    size_t length = cbMultiByte == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(cbMultiByte);
    WideSink sink{cchWideChar > 0 ? wideChar : nullptr, cchWideChar};
    switch (info.codec)
    {
    case Codec::Ansi1251:
        Decode1251(in, length, sink);
        break;
    case Codec::Utf8:
        DecodeUtf8(in, length, sink);
        break;
    case Codec::Iconv:
        if (!DecodeIconv(info, in, length, sink))
        {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        break;
    }
    return Finish(sink);
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR wideChar, int cchWideChar, LPSTR multiByte,
                        int cbMultiByte, LPCSTR defaultChar, BOOL* usedDefaultChar)
{
    CodePageInfo info{};
    if (!wideChar || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !multiByte) || !ResolveCodePage(codePage, info))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Replacement replacement{{'?', 0}, 1};
    if (defaultChar && defaultChar[0])
    {
        replacement.bytes[0] = defaultChar[0];
        replacement.length = 1;
        if (info.doubleByte && defaultChar[1]) // a double-byte page may use a two-byte character
        {
            replacement.bytes[1] = defaultChar[1];
            replacement.length = 2;
        }
    }
    size_t length = cchWideChar == -1 ? TextLength(wideChar) + 1 : static_cast<size_t>(cchWideChar);
    ByteSink sink{cbMultiByte > 0 ? multiByte : nullptr, cbMultiByte};
    switch (info.codec)
    {
    case Codec::Ansi1251:
        Encode1251(wideChar, length, sink, replacement);
        break;
    case Codec::Utf8:
        EncodeUtf8(wideChar, length, sink, replacement);
        break;
    case Codec::Iconv:
        if (!EncodeIconv(info, wideChar, length, sink, replacement))
        {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        break;
    }
    if (usedDefaultChar)
        *usedDefaultChar = replacement.used;
    return Finish(sink);
}

WCHAR ToLowerWide(WCHAR c)
{
    return Case().lower[c];
}

WCHAR ToUpperWide(WCHAR c)
{
    return Case().upper[c];
}

LPWSTR CharLowerW(LPWSTR text)
{
    return MapInPlace(text, ToLowerWide);
}

LPWSTR CharUpperW(LPWSTR text)
{
    return MapInPlace(text, ToUpperWide);
}

LPSTR CharLowerA(LPSTR text)
{
    return MapInPlace(text, [](char c)
                      { return static_cast<char>(Case().lowerAnsi[static_cast<unsigned char>(c)]); });
}

LPSTR CharUpperA(LPSTR text)
{
    return MapInPlace(text, [](char c)
                      { return static_cast<char>(Case().upperAnsi[static_cast<unsigned char>(c)]); });
}

int lstrlenW(LPCWSTR text)
{
    return text ? static_cast<int>(TextLength(text)) : 0;
}

int lstrlenA(LPCSTR text)
{
    return text ? static_cast<int>(std::strlen(text)) : 0;
}
