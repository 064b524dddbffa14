// A windowless control that shows one bitmap of its own: centred, stretched over the control or
// tiled in both directions or along one, with the bitmap's own transparency.
#pragma once

#include "Platform/Vcl/Controls.h"

enum XDrawMode
{
    xdmCenter = 0,
    xdmStretch = 1,
    xdmTile = 2,
    xdmTileVertical = 3,
    xdmTileHorizontal = 4
};

class XImage : public TGraphicControl
{
public:
    explicit XImage(TComponent* AOwner);
    ~XImage() override;

    // The owned bitmap; drawing on it or resizing it repaints the control.
    TBitmap* Bitmap() const { return FBitmap; }
    // Copies the given bitmap into the owned one (null empties it); in xdmCenter with AutoSize
    // the control then takes the bitmap's size.
    void SetBitmap(TBitmap* value);
    bool AutoSize() const { return FAutoSize; }
    // Turning it on in xdmCenter sizes the control to the bitmap.
    void SetAutoSize(bool value);
    XDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(XDrawMode value);

    // The owned bitmap's transparency settings.
    bool Transparent() const { return FBitmap->Transparent(); }
    void SetTransparent(bool value) { FBitmap->SetTransparent(value); }
    TColor TransparentColor() const { return FBitmap->TransparentColor(); }
    void SetTransparentColor(TColor value) { FBitmap->SetTransparentColor(value); }
    TTransparentMode TransparentMode() const { return FBitmap->TransparentMode(); }
    void SetTransparentMode(TTransparentMode value) { FBitmap->SetTransparentMode(value); }

protected:
    // A bitmap with no width or height draws nothing in any mode.
    void Paint() override;
    // The control keeps no layout of its own and fires no OnResize.
    void Resize() override {}

private:
    void BitmapChanged(TObject*) { Invalidate(); }
    void SizeToBitmap();

    TBitmap* FBitmap;
    XDrawMode FDrawMode = xdmCenter;
    bool FAutoSize = false;
};
