// The class library's image lists: a row of equal images drawn by index, over the platform's
// image-list handle (so a list view or tree view can draw from it too).
#pragma once

#include "Platform/Shell/ShlObj.h"
#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/Graphics.h"

class TBitmap;

class TCustomImageList : public TComponent
{
public:
    explicit TCustomImageList(TComponent* AOwner);
    ~TCustomImageList() override;

    // Changing the size empties the list.
    int Width() const { return m_width; }
    void SetWidth(int width);
    int Height() const { return m_height; }
    void SetHeight(int height);
    int Count() const;

    // Adds every image of the bitmap (its width in steps of Width); the first one's index, or -1.
    int Add(TBitmap* image, TBitmap* mask);
    // The same, with the pixels of `maskColor` clear.
    int AddMasked(TBitmap* image, TColor maskColor);
    void Delete(int index);
    void Clear();
    // Draws image `index` at (x, y); an index outside 0..Count-1 draws nothing.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);

    HIMAGELIST Handle() const { return m_handle; }
    TNotifyEvent OnChange;

private:
    void Remake();
    void Changed();
    HIMAGELIST m_handle = nullptr;
    int m_width = 16;
    int m_height = 16;
};

class TImageList : public TCustomImageList
{
public:
    using TCustomImageList::TCustomImageList;
};
