// Fonts (fontconfig and FreeType), the glyph cache, text output, extents, metrics and DrawText.
#include "Platform/Gdi/Gdi.h"

#include "Platform/Gdi/GdiDetail.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

using namespace Platform::Gdi;
using namespace Platform::Gdi::Detail;

namespace
{
constexpr int MaxPixelSize = 1024; // keeps a hostile height from asking for huge glyphs

FT_Library Library()
{
    static FT_Library library = []
    {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            throw std::runtime_error("FreeType could not be initialised");
        return l;
    }();
    return library;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// The dialog font of the layouts (Tahoma and MS Sans Serif at 8 points) is narrow: at 11 pixels
// "Models.pck file:" takes 74 pixels there. DejaVu Sans takes 87, DejaVu Sans Condensed 76 with the
// same 13-pixel cell, so the condensed face stands in for the dialog faces and every caption fits
// the room the layouts give it.
const char* const DialogStandIn = "DejaVu Sans Condensed";
const char* const SansStandIn = "DejaVu Sans";

// The DejaVu family that stands in for a face name, or "" for a name fontconfig should try itself.
std::string StandIn(const std::string& lowerName, BYTE pitchAndFamily)
{
    static const std::map<std::string, std::string> names = {
        {"", SansStandIn},
        {"tahoma", DialogStandIn},
        {"arial", SansStandIn},
        {"ms sans serif", DialogStandIn},
        {"microsoft sans serif", DialogStandIn},
        {"ms shell dlg", DialogStandIn},
        {"ms shell dlg 2", DialogStandIn},
        {"verdana", SansStandIn},
        {"segoe ui", SansStandIn},
        {"system", SansStandIn},
        {"courier", "DejaVu Sans Mono"},
        {"courier new", "DejaVu Sans Mono"},
        {"lucida console", "DejaVu Sans Mono"},
        {"consolas", "DejaVu Sans Mono"},
        {"fixedsys", "DejaVu Sans Mono"},
        {"terminal", "DejaVu Sans Mono"},
        {"times new roman", "DejaVu Serif"},
        {"times", "DejaVu Serif"},
    };
    auto it = names.find(lowerName);
    if (it != names.end())
        return it->second;
    if (lowerName.rfind("dejavu", 0) == 0)
        return "";
    if ((pitchAndFamily & 0x3) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN)
        return "DejaVu Sans Mono";
    if ((pitchAndFamily & 0xF0) == FF_ROMAN)
        return "DejaVu Serif";
    return "";
}

struct Resolved
{
    std::string file;
    int index = 0;
    bool synthBold = false;
    bool synthItalic = false;
};

std::string MissingFontText(const std::string& family)
{
    const char* packages = family == DialogStandIn ? "packages fonts-dejavu-core and fonts-dejavu-extra"
                                                   : "package fonts-dejavu-core";
    return "The font \"" + family + "\" was not found through fontconfig; install the " + packages +
           " (scripts/deps.sh)";
}

// Asks fontconfig for a family; false when its best match is another family.
bool Match(const std::string& family, bool bold, bool italic, Resolved* out)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    // A face may carry several family names ("DejaVu Sans" and "DejaVu Sans Condensed"); any will do.
    bool named = false;
    FcChar8* matchedFamily = nullptr;
    for (int n = 0; !named && FcPatternGetString(match, FC_FAMILY, n, &matchedFamily) == FcResultMatch; ++n)
        named = Lower(reinterpret_cast<const char*>(matchedFamily)) == Lower(family);
    bool ok = named && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (ok)
    {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        out->file = reinterpret_cast<const char*>(file);
        out->index = index;
        out->synthBold = bold && weight < FC_WEIGHT_DEMIBOLD;
        out->synthItalic = italic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return ok;
}

Resolved Resolve(const WCHAR* faceName, int weight, bool italic, BYTE pitchAndFamily)
{
    std::string name = Lower(Platform::ToUtf8(faceName));
    bool bold = weight >= FW_SEMIBOLD;
    static std::map<std::tuple<std::string, bool, bool, BYTE>, Resolved> cache;
    auto key = std::make_tuple(name, bold, italic, pitchAndFamily);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    Resolved r;
    std::string family = StandIn(name, pitchAndFamily);
    if (family.empty() && !Match(Platform::ToUtf8(faceName), bold, italic, &r))
        family = SansStandIn;
    // Without the condensed face the text is wider but still drawn.
    if (!family.empty() && !Match(family, bold, italic, &r) &&
        (family != DialogStandIn || !Match(SansStandIn, bold, italic, &r)))
        throw std::runtime_error(MissingFontText(family));
    cache.emplace(key, r);
    return r;
}

// Characters whose advances a face keeps in a flat table: Latin, Greek, Cyrillic, Hebrew, Arabic.
constexpr char32_t NearCount = 0x800;

struct Glyph
{
    bool loaded = false;
    int16_t left = 0; // bitmap origin relative to the pen, y up from the baseline
    int16_t top = 0;
    uint16_t width = 0;
    uint16_t rows = 0;
    int32_t advance = 0;
    uint32_t offset = 0; // into the coverage store
};
} // namespace

namespace Platform::Gdi::Detail
{
// One face at one pixel size. Glyphs are rendered once, into one coverage store, and found again
// through a page table: drawing text allocates nothing once its characters have been seen.
class FontFace
{
public:
    FontFace(const Resolved& r, int height, bool mono) : synthBold_(r.synthBold), mono_(mono)
    {
        if (FT_New_Face(Library(), r.file.c_str(), r.index, &face_) != 0)
            throw std::runtime_error("The font file \"" + r.file + "\" could not be read");
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        double upem = face_->units_per_EM ? face_->units_per_EM : 2048;
        double asc = os2 ? os2->usWinAscent : face_->ascender;
        double desc = os2 ? os2->usWinDescent : -face_->descender;
        // Negative: the character (em) height; positive: the cell height.
        int em = height < 0 ? -height : height > 0 ? int(std::lround(height * upem / (asc + desc))) : 12;
        em = std::clamp(em, 1, MaxPixelSize);
        FT_Set_Pixel_Sizes(face_, 0, FT_UInt(em));
        if (r.synthItalic)
        {
            FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees
            FT_Set_Transform(face_, &shear, nullptr);
        }
        double scale = em / upem;
        ascent_ = int(std::lround(asc * scale));
        descent_ = int(std::lround(desc * scale));
        if (ascent_ + descent_ < 1)
            ascent_ = 1;
        internalLeading_ = std::max(0, ascent_ + descent_ - em);
        underlinePos_ = std::max(1, int(std::lround(-face_->underline_position * scale)));
        lineThickness_ = std::max(1, int(std::lround(face_->underline_thickness * scale)));
        strikePos_ =
            os2 && os2->yStrikeoutPosition ? int(std::lround(os2->yStrikeoutPosition * scale)) : ascent_ / 3;
        fixedPitch_ = FT_IS_FIXED_WIDTH(face_);
        avgWidth_ =
            os2 && os2->xAvgCharWidth ? int(std::lround(os2->xAvgCharWidth * scale)) : Get(u'x').advance;
        maxWidth_ = int(std::lround(double(face_->max_advance_width) * scale)) + (synthBold_ ? 1 : 0);
        if (fixedPitch_)
            avgWidth_ = Get(u'x').advance;
    }
    ~FontFace() { FT_Done_Face(face_); }
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Inline for the glyphs already seen, which are nearly all.
    const Glyph& Get(char32_t c)
    {
        if (c < 0x10000)
            if (const auto* page = pages_[c >> 8].get())
                if (const Glyph& g = (*page)[c & 0xFF]; g.loaded)
                    return g;
        return Find(c);
    }

    // What a character moves the pen by. The alphabets most texts are written in answer from one
    // flat table, so that measuring a long list is a sum of single lookups.
    int Advance(char32_t c)
    {
        if (c < NearCount && near_[c] >= 0)
            return near_[c];
        return Get(c).advance;
    }

    const uint8_t* Coverage(const Glyph& g) const { return coverage_.data() + g.offset; }

    int ascent_ = 0, descent_ = 0, internalLeading_ = 0, avgWidth_ = 0, maxWidth_ = 0;
    int underlinePos_ = 1, lineThickness_ = 1, strikePos_ = 0;
    bool fixedPitch_ = false;
    bool synthBold_ = false;

private:
    static std::array<int32_t, NearCount> MakeNear()
    {
        std::array<int32_t, NearCount> near;
        near.fill(-1);
        return near;
    }

    [[gnu::noinline]] const Glyph& Find(char32_t c)
    {
        Glyph* g;
        if (c < 0x10000)
        {
            auto& page = pages_[c >> 8];
            if (!page)
                page = std::make_unique<std::array<Glyph, 256>>();
            g = &(*page)[c & 0xFF];
        }
        else
            g = &astral_[c];
        if (!g->loaded)
        {
            Load(c, g);
            if (c < NearCount)
                near_[c] = g->advance;
        }
        return *g;
    }

    void Load(char32_t c, Glyph* g)
    {
        g->loaded = true;
        // Control characters draw nothing and take no room.
        if (c < 32 || c == 0x7F)
            return;
        FT_UInt index = FT_Get_Char_Index(face_, c);
        FT_Int32 flags = FT_LOAD_DEFAULT | (mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Load_Glyph(face_, index, flags) != 0)
            return;
        FT_GlyphSlot slot = face_->glyph;
        if (synthBold_ && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_EmboldenXY(&slot->outline, 64, 0);
        g->advance = int((slot->advance.x + 32) >> 6) + (synthBold_ ? 1 : 0);
        if (FT_Render_Glyph(slot, mono_ ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
            return;
        const FT_Bitmap& bm = slot->bitmap;
        g->left = int16_t(slot->bitmap_left);
        g->top = int16_t(slot->bitmap_top);
        g->width = uint16_t(bm.width);
        g->rows = uint16_t(bm.rows);
        g->offset = uint32_t(coverage_.size());
        coverage_.resize(coverage_.size() + size_t(bm.width) * bm.rows);
        uint8_t* out = coverage_.data() + g->offset;
        for (unsigned y = 0; y < bm.rows; ++y)
        {
            const uint8_t* row = bm.buffer + ptrdiff_t(y) * bm.pitch;
            for (unsigned x = 0; x < bm.width; ++x)
            {
                uint8_t v =
                    bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x];
                out[size_t(y) * bm.width + x] = v;
            }
        }
    }

    FT_Face face_ = nullptr;
    bool mono_ = false;
    std::array<int32_t, NearCount> near_ = MakeNear(); // -1 until the glyph is loaded
    std::array<std::unique_ptr<std::array<Glyph, 256>>, 256> pages_;
    std::unordered_map<char32_t, Glyph> astral_;
    std::vector<uint8_t> coverage_;
};

std::shared_ptr<FontFace> RealiseFont(const LOGFONTW& font)
{
    LOGFONTW f = font;
    f.lfFaceName[LF_FACESIZE - 1] = 0;
    Resolved r = Resolve(f.lfFaceName, f.lfWeight, f.lfItalic != 0, f.lfPitchAndFamily);
    bool mono = f.lfQuality == NONANTIALIASED_QUALITY;
    static std::map<std::tuple<std::string, int, bool, bool, int, bool>, std::shared_ptr<FontFace>> faces;
    auto key = std::make_tuple(r.file, r.index, r.synthBold, r.synthItalic, int(f.lfHeight), mono);
    auto it = faces.find(key);
    if (it != faces.end())
        return it->second;
    auto face = std::make_shared<FontFace>(r, f.lfHeight, mono);
    faces.emplace(key, face);
    return face;
}
} // namespace Platform::Gdi::Detail

namespace
{
struct FontUse
{
    FontFace* face = nullptr;
    const LOGFONTW* log = nullptr;
};

FontUse CurrentFont(DC* dc)
{
    FontUse use;
    Object* o = dc ? Lookup(dc->state.font, Kind::Font) : nullptr;
    if (!o)
        return use;
    if (!o->face)
        o->face = RealiseFont(o->font);
    use.face = o->face.get();
    use.log = &o->font;
    return use;
}

// Decodes one character at text[i] (a surrogate pair counts as one) and moves i past it.
char32_t Next(const WCHAR* text, size_t length, size_t& i)
{
    char32_t c = text[i++];
    if (c >= 0xD800 && c < 0xDC00 && i < length && text[i] >= 0xDC00 && text[i] < 0xE000)
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    return c;
}

int Extent(FontFace& face, const WCHAR* text, size_t length)
{
    int w = 0;
    for (size_t i = 0; i < length;)
        w += face.Advance(Next(text, length, i));
    return w;
}

void BlendGlyph(const Target& t, const RECT& clip, FontFace& face, const Glyph& g, int penX, int baseline,
                uint32_t color)
{
    if (!g.width || !g.rows)
        return;
    RECT r{penX + g.left, baseline - g.top, penX + g.left + g.width, baseline - g.top + g.rows};
    RECT vis = r;
    if (!ClipRect(vis, clip))
        return;
    const uint8_t* cov = face.Coverage(g);
    uint32_t cr = (color >> 16) & 0xFF, cg = (color >> 8) & 0xFF, cb = color & 0xFF;
    for (int y = vis.top; y < vis.bottom; ++y)
    {
        const uint8_t* src = cov + size_t(y - r.top) * g.width + size_t(vis.left - r.left);
        uint32_t* out = t.surface.Row(y) + vis.left;
        for (int x = vis.left; x < vis.right; ++x, ++src, ++out)
        {
            uint32_t a = *src;
            if (!a)
                continue;
            if (a == 255)
            {
                *out = color;
                continue;
            }
            uint32_t d = *out, ia = 255 - a;
            uint32_t r8 = (cr * a + ((d >> 16) & 0xFF) * ia + 127) / 255;
            uint32_t g8 = (cg * a + ((d >> 8) & 0xFF) * ia + 127) / 255;
            uint32_t b8 = (cb * a + (d & 0xFF) * ia + 127) / 255;
            *out = (r8 << 16) | (g8 << 8) | b8;
        }
    }
}

// Draws a run of text with its cell's top-left at logical (x, y) (no alignment), clipped to the
// DC's clip and `clip` (logical, may be null); opaque cell background per the DC's mode; the
// character at `underlineAt` (an index into text, or -1) gets an underline of its own.
BOOL DrawRun(DC* dc, int x, int y, const RECT* clip, bool opaqueCell, const WCHAR* text, size_t length,
             const INT* dx, ptrdiff_t underlineAt)
{
    FontUse font = CurrentFont(dc);
    Target t;
    if (!font.face || !GetTarget(dc, &t))
        return dc != nullptr;
    FontFace& face = *font.face;
    RECT c = t.clip;
    if (clip)
    {
        RECT lc = *clip;
        OffsetRect(&lc, t.offset.x, t.offset.y);
        if (!ClipRect(c, lc))
            return TRUE;
    }
    int height = face.ascent_ + face.descent_;
    int left = x + t.offset.x, top = y + t.offset.y, baseline = top + face.ascent_;
    int width = 0;
    if (dx)
        for (size_t i = 0; i < length; ++i)
            width += dx[i];
    else
        width = Extent(face, text, length);
    if (opaqueCell)
    {
        RECT cell{left, top, left + width, top + height};
        if (ClipRect(cell, c))
            FillSpan(t.surface, cell, ToPixel(dc->state.bkColor));
    }
    uint32_t color = ToPixel(dc->state.textColor);
    int pen = left;
    auto line = [&](int x0, int x1, int yTop)
    {
        RECT r{x0, yTop, x1, yTop + face.lineThickness_};
        if (ClipRect(r, c))
            FillSpan(t.surface, r, color);
    };
    for (size_t i = 0; i < length;)
    {
        size_t start = i;
        char32_t ch = Next(text, length, i);
        const Glyph& g = face.Get(ch);
        int advance = g.advance;
        if (dx)
        {
            advance = 0;
            for (size_t k = start; k < i; ++k)
                advance += dx[k];
        }
        BlendGlyph(t, c, face, g, pen, baseline, color);
        if (ptrdiff_t(start) == underlineAt)
            line(pen, pen + g.advance, baseline + face.underlinePos_);
        pen += advance;
    }
    if (font.log->lfUnderline)
        line(left, pen, baseline + face.underlinePos_);
    if (font.log->lfStrikeOut)
        line(left, pen, baseline - face.strikePos_);
    return TRUE;
}

std::u16string FromAnsi(LPCSTR text, int length)
{
    if (!text || length <= 0)
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::u16string out(size_t(std::max(n, 0)), u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, length, out.data(), n);
    return out;
}
} // namespace

// ---- Text output -------------------------------------------------------------------------------

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length,
                 const INT* dx)
{
    DC* dc = LookupDC(hdc);
    if (!dc || (length && !text))
        return FALSE;
    if (rect && (options & ETO_OPAQUE))
    {
        Target t;
        RECT r = *rect;
        if (GetTarget(dc, &t))
        {
            OffsetRect(&r, t.offset.x, t.offset.y);
            if (ClipRect(r, t.clip))
                FillSpan(t.surface, r, ToPixel(dc->state.bkColor));
        }
    }
    if (!length)
        return TRUE;
    FontUse font = CurrentFont(dc);
    if (!font.face)
        return FALSE;
    UINT align = dc->state.textAlign;
    if (align & TA_UPDATECP)
    {
        x = dc->state.position.x;
        y = dc->state.position.y;
    }
    int width = 0;
    if (dx)
        for (UINT i = 0; i < length; ++i)
            width += dx[i];
    else
        width = Extent(*font.face, text, length);
    int startX = x;
    if ((align & TA_CENTER) == TA_CENTER)
        x -= width / 2;
    else if (align & TA_RIGHT)
        x -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        y -= font.face->ascent_;
    else if (align & TA_BOTTOM)
        y -= font.face->ascent_ + font.face->descent_;
    if (align & TA_UPDATECP)
        dc->state.position.x = (align & TA_CENTER) == TA_CENTER ? startX
                               : (align & TA_RIGHT)             ? startX - width
                                                                : startX + width;
    const RECT* clip = rect && (options & ETO_CLIPPED) ? rect : nullptr;
    return DrawRun(dc, x, y, clip, dc->state.bkMode == OPAQUE, text, length, dx, -1);
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length,
                 const INT* dx)
{
    std::u16string wide = FromAnsi(text, int(length));
    // Code page 1251 maps one byte to one unit, so the advances stay aligned.
    if (dx && wide.size() != length)
        dx = nullptr;
    return ExtTextOutW(hdc, x, y, options, rect, wide.data(), UINT(wide.size()), dx);
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int length)
{
    return length < 0 ? FALSE : ExtTextOutW(hdc, x, y, 0, nullptr, text, UINT(length), nullptr);
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length)
{
    return length < 0 ? FALSE : ExtTextOutA(hdc, x, y, 0, nullptr, text, UINT(length), nullptr);
}

// ---- Measuring ---------------------------------------------------------------------------------

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int length, SIZE* size)
{
    FontUse font = CurrentFont(LookupDC(hdc));
    if (!font.face || !size || length < 0 || (length && !text))
        return FALSE;
    size->cx = Extent(*font.face, text, size_t(length));
    size->cy = font.face->ascent_ + font.face->descent_;
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int length, SIZE* size)
{
    if (length < 0)
        return FALSE;
    std::u16string wide = FromAnsi(text, length);
    return GetTextExtentPoint32W(hdc, wide.data(), int(wide.size()), size);
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int length, int maxExtent, int* fit, int* dx, SIZE* size)
{
    FontUse font = CurrentFont(LookupDC(hdc));
    if (!font.face || length < 0 || (length && !text))
        return FALSE;
    int w = 0, n = 0;
    for (size_t i = 0; i < size_t(length);)
    {
        size_t start = i;
        w += font.face->Advance(Next(text, size_t(length), i));
        for (size_t k = start; k < i; ++k)
        {
            if (dx)
                dx[k] = w;
            if (w <= maxExtent)
                n = int(k + 1);
        }
    }
    if (fit)
        *fit = n;
    if (size)
        *size = SIZE{w, font.face->ascent_ + font.face->descent_};
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm)
{
    FontUse font = CurrentFont(LookupDC(hdc));
    if (!font.face || !tm)
        return FALSE;
    const FontFace& f = *font.face;
    *tm = TEXTMETRICW{};
    tm->tmAscent = f.ascent_;
    tm->tmDescent = f.descent_;
    tm->tmHeight = f.ascent_ + f.descent_;
    tm->tmInternalLeading = f.internalLeading_;
    tm->tmAveCharWidth = f.avgWidth_;
    tm->tmMaxCharWidth = f.maxWidth_;
    tm->tmWeight = font.log->lfWeight ? font.log->lfWeight : FW_NORMAL;
    tm->tmOverhang = 0;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = font.log->lfItalic;
    tm->tmUnderlined = font.log->lfUnderline;
    tm->tmStruckOut = font.log->lfStrikeOut;
    tm->tmPitchAndFamily = BYTE((f.fixedPitch_ ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE |
                                (f.fixedPitch_ ? FF_MODERN : FF_SWISS));
    tm->tmCharSet = font.log->lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : font.log->lfCharSet;
    return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR face)
{
    DC* dc = LookupDC(hdc);
    Object* o = dc ? Lookup(dc->state.font, Kind::Font) : nullptr;
    if (!o)
        return 0;
    int n = 0;
    while (n < LF_FACESIZE - 1 && o->font.lfFaceName[n])
        ++n;
    if (!face)
        return n + 1;
    if (count <= 0)
        return 0;
    int copied = std::min(n, count - 1);
    std::copy(o->font.lfFaceName, o->font.lfFaceName + copied, face);
    face[copied] = 0;
    return copied;
}

// ---- DrawText ----------------------------------------------------------------------------------

namespace
{
struct TextLine
{
    std::u16string text;
    ptrdiff_t underlineAt = -1;
    int width = 0;
};

// Removes '&' prefixes: "&&" is a literal '&', "&x" underlines x.
std::u16string StripPrefixes(const std::u16string& in, ptrdiff_t* underlineAt)
{
    std::u16string out;
    *underlineAt = -1;
    for (size_t i = 0; i < in.size(); ++i)
    {
        if (in[i] != u'&')
        {
            out += in[i];
            continue;
        }
        if (i + 1 >= in.size())
            break;
        if (in[i + 1] != u'&')
            *underlineAt = ptrdiff_t(out.size());
        out += in[++i];
    }
    return out;
}

int TabbedExtent(FontFace& face, const std::u16string& s, bool expandTabs, int tabWidth)
{
    if (!expandTabs)
        return Extent(face, s.data(), s.size());
    int w = 0;
    for (size_t i = 0; i < s.size();)
    {
        char32_t c = Next(s.data(), s.size(), i);
        w = c == u'\t' ? (w / tabWidth + 1) * tabWidth : w + face.Advance(c);
    }
    return w;
}

// The longest prefix of s that fits `room` with "..." after it.
std::u16string Ellipsised(FontFace& face, const std::u16string& s, int room)
{
    const std::u16string dots = u"...";
    int dotsWidth = Extent(face, dots.data(), dots.size());
    int w = 0;
    size_t keep = 0;
    for (size_t i = 0; i < s.size();)
    {
        w += face.Advance(Next(s.data(), s.size(), i));
        if (w + dotsWidth > room)
            break;
        keep = i;
    }
    return s.substr(0, keep) + dots;
}

bool IsSeparator(char16_t c)
{
    return c == u'/' || c == u'\\';
}

// How far the ink of the last character reaches past its advance (a slash leans out): text whose
// end must show whole needs that much more room.
int Overhang(FontFace& face, const std::u16string& s)
{
    if (s.empty())
        return 0;
    size_t i = s.size() - 1;
    if (i > 0 && s[i] >= 0xDC00 && s[i] < 0xE000 && s[i - 1] >= 0xD800 && s[i - 1] < 0xDC00)
        --i;
    const Glyph& g = face.Get(Next(s.data(), s.size(), i));
    return std::max(0, g.left + int(g.width) - g.advance);
}

// A path too wide for `room` keeps its end, where the names that say where it leads are: "..."
// and the longest end that fits, from a separator so that no folder name shows cut. Only when the
// last name (with a separator after it) does not fit alone is it cut inside. `dropped` is how many
// units of s went.
std::u16string PathEllipsised(FontFace& face, const std::u16string& s, int room, size_t& dropped)
{
    const std::u16string dots = u"...";
    const int left = room - Extent(face, dots.data(), dots.size()) - Overhang(face, s);
    // Where each character starts, to walk back from the end by whole characters.
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();)
    {
        starts.push_back(i);
        Next(s.data(), s.size(), i);
    }
    size_t from = s.size(); // the first unit of the longest end that fits
    int width = 0;
    for (size_t n = starts.size(); n-- > 0;)
    {
        size_t i = starts[n];
        width += face.Advance(Next(s.data(), s.size(), i));
        if (width > left)
            break;
        from = starts[n];
    }
    size_t lastName = s.size();
    while (lastName > 0 && IsSeparator(s[lastName - 1]))
        --lastName;
    const size_t lastSeparator = lastName == 0 ? std::u16string::npos : s.find_last_of(u"/\\", lastName - 1);
    size_t cut = from;
    while (cut < s.size() && !IsSeparator(s[cut]))
        ++cut;
    if (lastSeparator == std::u16string::npos || cut > lastSeparator)
        cut = from;
    dropped = cut;
    return dots + s.substr(cut);
}

// Where a line of s that starts at `pos` ends when wrapped to `room`: at the last space, or
// after the last path separator, that leaves the line within the room; where there is none, after
// the last character that fits (at least one, so that every line takes something).
size_t WrapEnd(FontFace& face, const std::u16string& s, size_t pos, int room, bool expandTabs, int tabWidth)
{
    size_t lastBreak = pos, lastFit = pos;
    int width = 0;
    for (size_t i = pos; i < s.size();)
    {
        if (s[i] == u' ' && i > pos)
            lastBreak = i;
        size_t next = i;
        const char32_t c = Next(s.data(), s.size(), next);
        width = expandTabs && c == u'\t' ? (width / tabWidth + 1) * tabWidth : width + face.Advance(c);
        if (width > room)
        {
            if (lastBreak > pos)
                return lastBreak;
            return lastFit > pos ? lastFit : next;
        }
        lastFit = next;
        if (IsSeparator(s[i]))
            lastBreak = next;
        i = next;
    }
    return s.size();
}

int DrawTextCore(HDC hdc, const WCHAR* text, int length, RECT* rect, UINT format, int leftMargin,
                 int rightMargin, int tabLength)
{
    DC* dc = LookupDC(hdc);
    if (!dc || !rect || (!text && length != 0))
        return 0;
    if (length < 0)
        length = lstrlenW(text);
    FontUse font = CurrentFont(dc);
    if (!font.face)
        return 0;
    FontFace& face = *font.face;
    int lineHeight = face.ascent_ + face.descent_;
    int tabWidth = std::max(1, (tabLength > 0 ? tabLength : 8) * std::max(1, face.avgWidth_));
    bool expandTabs = format & DT_EXPANDTABS;
    bool single = format & DT_SINGLELINE;
    bool prefixes = !(format & DT_NOPREFIX);
    RECT area{rect->left + leftMargin, rect->top, rect->right - rightMargin, rect->bottom};
    int room = area.right - area.left;

    // Split into lines: at line breaks unless single-line, then at spaces when word-breaking.
    std::vector<std::u16string> paragraphs;
    std::u16string all(text, size_t(length));
    if (single)
        paragraphs.push_back(all);
    else
    {
        std::u16string cur;
        for (size_t i = 0; i < all.size(); ++i)
        {
            if (all[i] == u'\r' || all[i] == u'\n')
            {
                if (all[i] == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n')
                    ++i;
                paragraphs.push_back(cur);
                cur.clear();
                continue;
            }
            cur += all[i];
        }
        paragraphs.push_back(cur);
    }
    std::vector<TextLine> lines;
    for (const std::u16string& para : paragraphs)
    {
        TextLine whole;
        whole.text = prefixes ? StripPrefixes(para, &whole.underlineAt) : para;
        if (!(format & DT_WORDBREAK) || single)
        {
            lines.push_back(whole);
            continue;
        }
        // Greedy wrap; a run with no place to break that is wider than the room is parted
        // between characters, so that nothing runs out of the room unseen.
        size_t pos = 0;
        const std::u16string& s = whole.text;
        do
        {
            size_t cut = WrapEnd(face, s, pos, room, expandTabs, tabWidth);
            TextLine l;
            l.text = s.substr(pos, cut - pos);
            if (whole.underlineAt >= ptrdiff_t(pos) && whole.underlineAt < ptrdiff_t(cut))
                l.underlineAt = whole.underlineAt - ptrdiff_t(pos);
            lines.push_back(l);
            pos = cut;
            while (pos < s.size() && s[pos] == u' ')
                ++pos;
        } while (pos < s.size());
    }
    int widest = 0;
    for (TextLine& l : lines)
    {
        l.width = TabbedExtent(face, l.text, expandTabs, tabWidth);
        if ((format & DT_PATH_ELLIPSIS) && l.width + Overhang(face, l.text) > room)
        {
            size_t dropped = 0;
            l.text = PathEllipsised(face, l.text, room, dropped);
            l.underlineAt = l.underlineAt >= ptrdiff_t(dropped) ? l.underlineAt - ptrdiff_t(dropped) + 3 : -1;
            l.width = TabbedExtent(face, l.text, expandTabs, tabWidth);
        }
        else if ((format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) && l.width > room)
        {
            l.text = Ellipsised(face, l.text, room);
            if (l.underlineAt >= ptrdiff_t(l.text.size()) - 3)
                l.underlineAt = -1;
            l.width = TabbedExtent(face, l.text, expandTabs, tabWidth);
        }
        widest = std::max(widest, l.width);
    }
    int total = lineHeight * int(lines.size());
    int y = area.top;
    if (single && (format & DT_VCENTER))
        y = (area.top + area.bottom - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y = area.bottom - lineHeight;
    if (format & DT_CALCRECT)
    {
        if (!(format & DT_WORDBREAK) || widest > room)
            rect->right = rect->left + leftMargin + widest + rightMargin;
        rect->bottom = rect->top + total;
        return total;
    }
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : rect;
    bool opaque = dc->state.bkMode == OPAQUE;
    for (const TextLine& l : lines)
    {
        int x = area.left;
        if (format & DT_CENTER)
            x = (area.left + area.right - l.width) / 2;
        else if (format & DT_RIGHT)
            x = area.right - l.width;
        ptrdiff_t underline = (format & DT_HIDEPREFIX) ? -1 : l.underlineAt;
        if (expandTabs && l.text.find(u'\t') != std::u16string::npos)
        {
            // Each tab-separated piece starts at its tab stop.
            size_t start = 0;
            int offset = 0;
            while (start <= l.text.size())
            {
                size_t tab = l.text.find(u'\t', start);
                size_t end = tab == std::u16string::npos ? l.text.size() : tab;
                ptrdiff_t u = underline >= ptrdiff_t(start) && underline < ptrdiff_t(end)
                                  ? underline - ptrdiff_t(start)
                                  : -1;
                DrawRun(dc, x + offset, y, clip, opaque, l.text.data() + start, end - start, nullptr, u);
                offset += Extent(face, l.text.data() + start, end - start);
                if (tab == std::u16string::npos)
                    break;
                offset = (offset / tabWidth + 1) * tabWidth;
                start = tab + 1;
            }
        }
        else
            DrawRun(dc, x, y, clip, opaque, l.text.data(), l.text.size(), nullptr, underline);
        y += lineHeight;
    }
    return (single && (format & (DT_VCENTER | DT_BOTTOM))) ? y - area.top : total;
}
} // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int length, RECT* rect, UINT format)
{
    return DrawTextCore(hdc, text, length, rect, format, 0, 0, 0);
}

int DrawTextA(HDC hdc, LPCSTR text, int length, RECT* rect, UINT format)
{
    if (length < 0)
        length = text ? lstrlenA(text) : 0;
    std::u16string wide = FromAnsi(text, length);
    return DrawTextCore(hdc, wide.data(), int(wide.size()), rect, format, 0, 0, 0);
}

int DrawTextExW(HDC hdc, LPWSTR text, int length, RECT* rect, UINT format, DRAWTEXTPARAMS* params)
{
    if (params && params->cbSize != sizeof(DRAWTEXTPARAMS))
        return 0;
    int h = DrawTextCore(hdc, text, length, rect, format, params ? params->iLeftMargin : 0,
                         params ? params->iRightMargin : 0, params ? params->iTabLength : 0);
    if (params)
        params->uiLengthDrawn = UINT(length < 0 ? lstrlenW(text) : length);
    return h;
}

namespace Platform::Gdi
{
std::string ResolveFontFile(const WCHAR* faceName, int weight, bool italic)
{
    return Resolve(faceName ? faceName : u"", weight, italic, DEFAULT_PITCH).file;
}

TextWidths::TextWidths(HDC hdc)
{
    DC* dc = LookupDC(hdc);
    if (CurrentFont(dc).face)
        m_face = Lookup(dc->state.font, Kind::Font)->face;
}

int TextWidths::Of(const WCHAR* text) const
{
    if (!m_face || !text)
        return 0;
    // Extent's sum, ended by the NUL instead of a count: a high surrogate before the NUL stands
    // alone, as it does at the end of a counted text.
    int w = 0;
    for (size_t i = 0; text[i];)
        w += m_face->Advance(Next(text, SIZE_MAX, i));
    return w;
}
} // namespace Platform::Gdi

// GCC names an AddressSanitizer build by a macro, clang by a feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVANE_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KELVANE_ADDRESS_SANITIZER)
// fontconfig loses a few bytes while it parses its configuration, once per process; that is not
// ours to mend, so the leak checker of sanitized builds is told to pass over it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
#endif
