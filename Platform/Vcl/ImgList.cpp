#include "Platform/Vcl/ImgList.h"

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

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool)
{
    if (!canvas || index < 0 || index >= Count())
        return;
    ImageList_Draw(m_handle, index, canvas->Handle(), x, y, ILD_NORMAL);
}
