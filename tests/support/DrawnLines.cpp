#include "tests/support/DrawnLines.h"

#include "Platform/Vcl/HintWindow.h"
#include "tests/support/DibCanvas.h"

#include <algorithm>
#include <climits>

namespace
{
// The ink of a rectangle of pixels: its bounds and its pixels inside them, row by row.
struct Crop
{
    RECT bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    std::vector<uint32_t> pixels;
    bool Empty() const { return bounds.left > bounds.right; }
    int Width() const { return Empty() ? 0 : int(bounds.right - bounds.left); }
    bool operator==(const Crop& other) const
    {
        return bounds.right - bounds.left == other.bounds.right - other.bounds.left &&
               bounds.bottom - bounds.top == other.bounds.bottom - other.bounds.top && pixels == other.pixels;
    }
};

Crop CropInk(const uint32_t* pixels, int stride, const RECT& area, uint32_t background)
{
    Crop crop;
    auto at = [&](int x, int y) { return pixels[size_t(y) * size_t(stride) + size_t(x)] & 0xFFFFFFu; };
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (at(x, y) != background)
            {
                crop.bounds.left = std::min<LONG>(crop.bounds.left, x);
                crop.bounds.top = std::min<LONG>(crop.bounds.top, y);
                crop.bounds.right = std::max<LONG>(crop.bounds.right, x + 1);
                crop.bounds.bottom = std::max<LONG>(crop.bounds.bottom, y + 1);
            }
    for (int y = crop.bounds.top; y < crop.bounds.bottom; ++y)
        for (int x = crop.bounds.left; x < crop.bounds.right; ++x)
            crop.pixels.push_back(at(x, y));
    return crop;
}

// A memory DC to draw one candidate line into, with room around it for ink that leans out.
class Scratch
{
public:
    Scratch(int width, int height, HFONT font, COLORREF ink, COLORREF background)
        : m_canvas(width, height, background), m_background(background)
    {
        m_oldFont = SelectObject(m_canvas.dc, font);
        SetTextColor(m_canvas.dc, ink);
        SetBkMode(m_canvas.dc, TRANSPARENT);
    }
    ~Scratch() { SelectObject(m_canvas.dc, m_oldFont); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    int Advance(const char16_t* text, size_t length) const
    {
        SIZE size{};
        GetTextExtentPoint32W(m_canvas.dc, text, int(length), &size);
        return size.cx;
    }

    Crop Draw(const char16_t* text, size_t length)
    {
        m_canvas.Fill(m_background);
        TextOutW(m_canvas.dc, kMargin, kMargin, text, int(length));
        return CropInk(m_canvas.bits, m_canvas.width, RECT{0, 0, m_canvas.width, m_canvas.height},
                       Platform::Gdi::ToPixel(m_background) & 0xFFFFFFu);
    }

    static constexpr int kMargin = 16;

private:
    DibCanvas m_canvas;
    COLORREF m_background;
    HGDIOBJ m_oldFont = nullptr;
};

size_t NextCharacter(const std::u16string& text, size_t i)
{
    const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                      text[i + 1] < 0xE000;
    return i + (pair ? 2 : 1);
}
} // namespace

namespace DrawnLines
{
std::vector<Line> Read(const Block& block, HFONT font, COLORREF ink, COLORREF background,
                       const std::u16string& text)
{
    const uint32_t back = Platform::Gdi::ToPixel(background) & 0xFFFFFFu;
    const int areaWidth = int(block.area.right - block.area.left);
    Scratch scratch(areaWidth + 8 * Scratch::kMargin, block.lineHeight + 2 * Scratch::kMargin, font, ink,
                    background);
    std::vector<Line> lines;
    size_t pos = 0;
    for (int top = block.top; top + block.lineHeight <= block.area.bottom; top += block.lineHeight)
    {
        RECT band{block.area.left, std::max<LONG>(top, block.area.top), block.area.right,
                  top + block.lineHeight};
        Crop shown = CropInk(block.pixels, block.stride, band, back);
        if (shown.Empty())
            break;
        // The longest run that draws exactly this ink; a longer one is wider once it adds ink.
        // Runs whose advance is a line's height off the ink's width are not drawn: no glyph's
        // ink reaches that far past its advance.
        size_t best = pos;
        for (size_t end = pos; end < text.size();)
        {
            end = NextCharacter(text, end);
            size_t from = pos, to = end; // spaces at either end draw no ink
            while (from < to && text[from] == u' ')
                ++from;
            while (to > from && text[to - 1] == u' ')
                --to;
            const int advance = scratch.Advance(text.data() + from, to - from);
            if (advance + block.lineHeight < shown.Width())
                continue;
            if (advance - block.lineHeight > shown.Width())
                break;
            Crop candidate = scratch.Draw(text.data() + pos, end - pos);
            if (candidate.Width() > shown.Width())
                break;
            if (candidate == shown)
                best = end;
        }
        Line line;
        line.ink = shown.bounds;
        line.text = text.substr(pos, best - pos);
        lines.push_back(line);
        if (best == pos)
            break; // ink that is none of the text's next characters
        pos = best;
    }
    return lines;
}

std::u16string Joined(const std::vector<Line>& lines)
{
    std::u16string all;
    for (const Line& line : lines)
        all += line.text;
    return all;
}

std::vector<Line> ReadHint(THintWindow& hint, const std::u16string& text)
{
    hint.PaintDirty();
    TCanvas measure;
    measure.Font()->Assign(hint.Font());
    const int lineHeight = std::max(1, measure.TextHeight(u"W"));
    const int width = hint.ClientWidth(), height = hint.ClientHeight();
    const int count = height / lineHeight;
    Block block{hint.Pixels(), width, RECT{1, 1, width - 1, height - 1}, (height - count * lineHeight) / 2,
                lineHeight};
    return Read(block, hint.Font()->Handle(), ColorToRGB(hint.Font()->Color()), ColorToRGB(hint.Color()),
                text);
}

bool InkBelow(const Block& block, int from, COLORREF background)
{
    RECT rest = block.area;
    rest.top = std::max<LONG>(rest.top, from);
    if (rest.top >= rest.bottom)
        return false;
    return !CropInk(block.pixels, block.stride, rest, Platform::Gdi::ToPixel(background) & 0xFFFFFFu).Empty();
}
} // namespace DrawnLines
