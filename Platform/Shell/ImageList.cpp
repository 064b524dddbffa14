// Image lists: equal images side by side in one 32-bit bitmap, clear pixels keyed by one colour.
// Also the system image lists the shell answers with, drawn here at 16 and 32 pixels.
#include "Platform/Shell/ShellDetail.h"

#include <memory>
#include <set>

struct HIMAGELIST__
{
    int width;
    int height;
    std::vector<uint32_t> pixels; // rows of all images, top-down, 0x00RRGGBB; Key is clear
    int count = 0;
};

namespace
{
constexpr uint32_t Key = 0x00FF00FFu; // magenta: no icon uses it

std::set<HIMAGELIST>& Lists()
{
    static std::set<HIMAGELIST> lists;
    return lists;
}

bool Valid(HIMAGELIST list)
{
    return list && Lists().count(list);
}

uint32_t FromColorRef(COLORREF c)
{
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

COLORREF ToColorRef(uint32_t p)
{
    return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

// The pixels of a bitmap: straight from a DIB section's memory (it may be selected into a DC of
// its own), otherwise through a memory DC.
bool ReadBitmap(HBITMAP bitmap, int& width, int& height, std::vector<uint32_t>& pixels)
{
    DIBSECTION info{};
    int got = bitmap ? GetObjectW(bitmap, sizeof info, &info) : 0;
    if (got == 0 || info.dsBm.bmWidth <= 0 || info.dsBm.bmHeight == 0)
        return false;
    width = info.dsBm.bmWidth;
    height = info.dsBm.bmHeight < 0 ? -info.dsBm.bmHeight : info.dsBm.bmHeight;
    pixels.resize(static_cast<size_t>(width) * height);
    if (got >= static_cast<int>(sizeof(DIBSECTION)) && info.dsBm.bmBits && info.dsBm.bmBitsPixel == 32)
    {
        bool bottomUp = info.dsBmih.biHeight > 0;
        auto* bits = static_cast<const uint32_t*>(info.dsBm.bmBits);
        for (int y = 0; y < height; ++y)
        {
            const uint32_t* row = bits + static_cast<size_t>(bottomUp ? height - 1 - y : y) * width;
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * width + x] = row[x] & 0x00FFFFFFu;
        }
        return true;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * width + x] = FromColorRef(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    return true;
}

// Appends the images of a strip of pixels; the index of the first.
int AppendStrip(HIMAGELIST list, int width, int height, const std::vector<uint32_t>& strip)
{
    int images = width / list->width;
    if (images <= 0 || height < list->height)
        return -1;
    int first = list->count;
    int oldWidth = list->width * list->count;
    int newWidth = oldWidth + images * list->width;
    std::vector<uint32_t> grown(static_cast<size_t>(newWidth) * list->height, Key);
    for (int y = 0; y < list->height; ++y)
    {
        std::copy_n(list->pixels.begin() + static_cast<ptrdiff_t>(y) * oldWidth, oldWidth,
                    grown.begin() + static_cast<ptrdiff_t>(y) * newWidth);
        std::copy_n(strip.begin() + static_cast<ptrdiff_t>(y) * width, images * list->width,
                    grown.begin() + static_cast<ptrdiff_t>(y) * newWidth + oldWidth);
    }
    list->pixels.swap(grown);
    list->count += images;
    return first;
}
} // namespace

HIMAGELIST ImageList_Create(int width, int height, UINT, int, int)
{
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024)
        return nullptr;
    auto* list = new HIMAGELIST__{width, height, {}, 0};
    Lists().insert(list);
    return list;
}

BOOL ImageList_Destroy(HIMAGELIST list)
{
    if (!Valid(list))
        return FALSE;
    Lists().erase(list);
    delete list;
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list)
{
    return Valid(list) ? list->count : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height)
{
    if (!Valid(list) || !width || !height)
        return FALSE;
    *width = list->width;
    *height = list->height;
    return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask)
{
    if (!Valid(list))
        return -1;
    int width, height;
    std::vector<uint32_t> pixels;
    if (!ReadBitmap(image, width, height, pixels))
        return -1;
    int mw, mh;
    std::vector<uint32_t> maskPixels;
    if (mask && ReadBitmap(mask, mw, mh, maskPixels))
    {
        // White in the mask is clear.
        for (int y = 0; y < std::min(height, mh); ++y)
            for (int x = 0; x < std::min(width, mw); ++x)
                if (maskPixels[static_cast<size_t>(y) * mw + x] != 0)
                    pixels[static_cast<size_t>(y) * width + x] = Key;
    }
    return AppendStrip(list, width, height, pixels);
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColour)
{
    if (!Valid(list))
        return -1;
    int width, height;
    std::vector<uint32_t> pixels;
    if (!ReadBitmap(image, width, height, pixels))
        return -1;
    uint32_t clear = FromColorRef(maskColour);
    for (uint32_t& p : pixels)
        if (p == clear)
            p = Key;
    return AppendStrip(list, width, height, pixels);
}

BOOL ImageList_Remove(HIMAGELIST list, int index)
{
    if (!Valid(list))
        return FALSE;
    if (index == -1)
    {
        list->pixels.clear();
        list->count = 0;
        return TRUE;
    }
    if (index < 0 || index >= list->count)
        return FALSE;
    int oldWidth = list->width * list->count;
    int newWidth = oldWidth - list->width;
    std::vector<uint32_t> kept(static_cast<size_t>(newWidth) * list->height);
    for (int y = 0; y < list->height; ++y)
    {
        auto row = list->pixels.begin() + static_cast<ptrdiff_t>(y) * oldWidth;
        auto out = std::copy_n(row, index * list->width, kept.begin() + static_cast<ptrdiff_t>(y) * newWidth);
        std::copy(row + (index + 1) * list->width, row + oldWidth, out);
    }
    list->pixels.swap(kept);
    --list->count;
    return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style)
{
    if (!Valid(list) || !dc || index < 0 || index >= list->count)
        return FALSE;
    int stride = list->width * list->count;
    for (int row = 0; row < list->height; ++row)
        for (int col = 0; col < list->width; ++col)
        {
            uint32_t p = list->pixels[static_cast<size_t>(row) * stride + index * list->width + col];
            if (style & ILD_MASK)
            {
                SetPixel(dc, x + col, y + row, p == Key ? RGB(255, 255, 255) : RGB(0, 0, 0));
                continue;
            }
            if (p == Key)
                continue;
            if (style & ILD_SELECTED)
            {
                // Half way to the highlight blue, as a selected icon shows.
                uint32_t r = ((p >> 16) & 0xFF) / 2, g = ((p >> 8) & 0xFF) / 2, b = ((p & 0xFF) + 0x80) / 2 + 0x3F;
                p = (r << 16) | (g << 8) | std::min<uint32_t>(b, 0xFF);
            }
            SetPixel(dc, x + col, y + row, ToColorRef(p));
        }
    return TRUE;
}

// ---- The system image lists ------------------------------------------------------------------

namespace
{
// A small painter of flat icons on a pixel strip.
class IconPainter
{
public:
    IconPainter(int size) : m_size(size), m_pixels(static_cast<size_t>(size) * size * SI_COUNT, Key) {}
    void Fill(int icon, double x0, double y0, double x1, double y1, uint32_t colour)
    {
        int a = static_cast<int>(x0 * m_size), b = static_cast<int>(y0 * m_size);
        int c = static_cast<int>(x1 * m_size), d = static_cast<int>(y1 * m_size);
        for (int y = std::max(b, 0); y < std::min(d, m_size); ++y)
            for (int x = std::max(a, 0); x < std::min(c, m_size); ++x)
                m_pixels[static_cast<size_t>(y) * m_size * SI_COUNT + icon * m_size + x] = colour;
    }
    void Frame(int icon, double x0, double y0, double x1, double y1, uint32_t fill, uint32_t edge)
    {
        double px = 1.0 / m_size;
        Fill(icon, x0, y0, x1, y1, edge);
        Fill(icon, x0 + px, y0 + px, x1 - px, y1 - px, fill);
    }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }

private:
    int m_size;
    std::vector<uint32_t> m_pixels;
};

void PaintIcons(IconPainter& p)
{
    const uint32_t ink = 0x404040, paper = 0xFFFFFF, folder = 0xE8C050, folderEdge = 0x9C7A20;
    // File: a sheet with lines.
    p.Frame(SI_FILE, 0.19, 0.06, 0.81, 0.94, paper, ink);
    for (double y : {0.3, 0.45, 0.6, 0.75})
        p.Fill(SI_FILE, 0.31, y, 0.69, y + 0.07, 0xA0A0A0);
    // Folder: a tab and a body.
    for (int icon : {static_cast<int>(SI_FOLDER), static_cast<int>(SI_HOME)})
    {
        p.Frame(icon, 0.06, 0.19, 0.44, 0.38, folder, folderEdge);
        p.Frame(icon, 0.06, 0.31, 0.94, 0.81, folder, folderEdge);
    }
    p.Fill(SI_HOME, 0.38, 0.44, 0.62, 0.75, 0xB03020); // a door on the home folder
    // Desktop: a screen.
    p.Frame(SI_DESKTOP, 0.06, 0.12, 0.94, 0.75, 0x3A6EA5, ink);
    p.Fill(SI_DESKTOP, 0.38, 0.75, 0.62, 0.88, ink);
    // Computer: a screen and a base.
    p.Frame(SI_COMPUTER, 0.12, 0.06, 0.88, 0.62, 0x60A0D0, ink);
    p.Frame(SI_COMPUTER, 0.06, 0.69, 0.94, 0.94, 0xC0C0C0, ink);
    // Drive: a box with a light.
    p.Frame(SI_DRIVE, 0.06, 0.31, 0.94, 0.75, 0xC0C0C0, ink);
    p.Fill(SI_DRIVE, 0.69, 0.5, 0.81, 0.62, 0x20C020);
    // Control panel: sliders.
    p.Frame(SI_CONTROLS, 0.06, 0.06, 0.94, 0.94, 0xD0D0D0, ink);
    p.Fill(SI_CONTROLS, 0.25, 0.2, 0.38, 0.8, 0x3050B0);
    p.Fill(SI_CONTROLS, 0.62, 0.2, 0.75, 0.8, 0xB05030);
    // Network: two screens joined.
    p.Frame(SI_NETWORK, 0.06, 0.06, 0.5, 0.44, 0x60A0D0, ink);
    p.Frame(SI_NETWORK, 0.5, 0.56, 0.94, 0.94, 0x60A0D0, ink);
    p.Fill(SI_NETWORK, 0.25, 0.44, 0.31, 0.75, ink);
    p.Fill(SI_NETWORK, 0.25, 0.69, 0.5, 0.75, ink);
    // Link: a sheet with an arrow.
    p.Frame(SI_LINK, 0.19, 0.06, 0.81, 0.94, paper, ink);
    p.Frame(SI_LINK, 0.06, 0.62, 0.44, 1.0, paper, ink);
    p.Fill(SI_LINK, 0.19, 0.75, 0.31, 0.88, 0x2050C0);
}

HIMAGELIST MakeSystemList(int size)
{
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, SI_COUNT, 0);
    IconPainter painter(size);
    PaintIcons(painter);
    AppendStrip(list, size * SI_COUNT, size, painter.Pixels());
    return list;
}
} // namespace

namespace ShellDetail
{
HIMAGELIST SystemImageList(bool small)
{
    static HIMAGELIST smallList = MakeSystemList(16);
    static HIMAGELIST largeList = MakeSystemList(32);
    return small ? smallList : largeList;
}
} // namespace ShellDetail
