#include "Platform/Vcl/ImgList.h"

#include <utility>

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner)
{
    Remake();
}

TCustomImageList::~TCustomImageList()
{
    ImageList_Destroy(m_handle);
}

void TCustomImageList::Remake()
{
    ImageList_Destroy(m_handle);
    m_handle = ImageList_Create(m_width, m_height, ILC_COLOR32 | ILC_MASK, 0, 4);
}

void TCustomImageList::Changed()
{
    OnChange(this);
}

void TCustomImageList::SetWidth(int width)
{
    if (width == m_width || width <= 0)
        return;
    m_width = width;
    Remake();
    Changed();
}

void TCustomImageList::SetHeight(int height)
{
    if (height == m_height || height <= 0)
        return;
    m_height = height;
    Remake();
    Changed();
}

int TCustomImageList::Count() const
{
    return ImageList_GetImageCount(m_handle);
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask)
{
    if (!image)
        return -1;
    int index = ImageList_Add(m_handle, image->Handle(), mask ? mask->Handle() : nullptr);
    if (index >= 0)
        Changed();
    return index;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor)
{
    if (!image)
        return -1;
    int index = ImageList_AddMasked(m_handle, image->Handle(), ColorToRGB(maskColor));
    if (index >= 0)
        Changed();
    return index;
}

void TCustomImageList::Delete(int index)
{
    if (ImageList_Remove(m_handle, index))
        Changed();
}

void TCustomImageList::Clear()
{
    Delete(-1);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled)
{
    if (!canvas || index < 0 || index >= Count())
        return;
    if (enabled)
    {
        ImageList_Draw(m_handle, index, canvas->Handle(), x, y, ILD_NORMAL);
        return;
    }
    // Disabled: the image's shape engraved, a highlight one pixel down and right under the shadow.
    TBitmap shape;
    shape.SetSize(m_width, m_height);
    ImageList_Draw(m_handle, index, shape.Canvas()->Handle(), 0, 0, ILD_MASK);
    HDC dc = canvas->Handle();
    for (auto [colour, offset] : {std::pair{clBtnHighlight, 1}, std::pair{clBtnShadow, 0}})
    {
        COLORREF rgb = ColorToRGB(colour);
        for (int row = 0; row < m_height; ++row)
        {
            const uint32_t* line = shape.ScanLine(row);
            for (int col = 0; col < m_width; ++col)
            {
                if ((line[col] & 0x00FFFFFFu) == 0)
                    SetPixel(dc, x + col + offset, y + row + offset, rgb);
            }
        }
    }
}
