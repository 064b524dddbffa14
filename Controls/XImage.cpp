#include "Controls/XImage.h"

#include <cstdint>

XImage::XImage(TComponent* AOwner) : TGraphicControl(AOwner), FBitmap(new TBitmap)
{
    TControlStyle style = ControlStyle();
    style << csCaptureMouse << csClickEvents << csDoubleClicks;
    SetControlStyle(style);
    FBitmap->OnChange = MakeClosure(this, &XImage::BitmapChanged);
    SetBounds(Left(), Top(), 300, 200);
}

XImage::~XImage()
{
    delete FBitmap;
}

void XImage::SizeToBitmap()
{
    SetBounds(Left(), Top(), FBitmap->Width(), FBitmap->Height());
    Invalidate();
}

void XImage::SetBitmap(TBitmap* value)
{
    FBitmap->Assign(value);
    if (FDrawMode == xdmCenter && FAutoSize)
        SizeToBitmap();
}

void XImage::SetAutoSize(bool value)
{
    if (value == FAutoSize)
        return;
    FAutoSize = value;
    if (FDrawMode == xdmCenter && value)
        SizeToBitmap();
}

void XImage::SetDrawMode(XDrawMode value)
{
    if (value == FDrawMode)
        return;
    FDrawMode = value;
    Invalidate();
}

void XImage::Paint()
{
    int width = Width();
    int height = Height();
    int bw = FBitmap->Width();
    int bh = FBitmap->Height();
    // The tiling steps are the bitmap's size: an empty one would never get anywhere.
    if (bw <= 0 || bh <= 0)
        return;
    TCanvas* canvas = Canvas();
    int cx = width / 2 - bw / 2;
    int cy = height / 2 - bh / 2;
    switch (FDrawMode)
    {
    case xdmCenter:
        canvas->Draw(cx, cy, FBitmap);
        break;
    case xdmStretch:
        canvas->StretchDraw(TRect(0, 0, width, height), FBitmap);
        break;
    // Steps in 64 bits: the last one may pass the largest int.
    case xdmTile:
        for (int64_t x = 0; x < width; x += bw)
            for (int64_t y = 0; y < height; y += bh)
                canvas->Draw(int(x), int(y), FBitmap);
        break;
    case xdmTileVertical:
        for (int64_t y = 0; y < height; y += bh)
            canvas->Draw(cx, int(y), FBitmap);
        break;
    case xdmTileHorizontal:
        for (int64_t x = 0; x < width; x += bw)
            canvas->Draw(int(x), cy, FBitmap);
        break;
    }
}
