// Capture of a view shown in a real X window: the view host on a private X server, its frame
// presented into the window and read back with XGetImage, against the BMP and JPEG files the
// view's capture writes, decoded by stb_image.
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/ImageDecoders.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ViewHostWindowTest.h"
#include "tests/support/WholeFile.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{
// Largest and mean difference of one channel between a decoded image and the window's pixels
// (0x..RRGGBB, rows of `stride`) over a rectangle of the view.
struct Difference
{
    int worst = 0;
    double mean = 0;
};

Difference Compare(const DecodedImage& image, const std::vector<uint32_t>& shown, int stride, const TRect& r)
{
    Difference d;
    long total = 0, count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
        {
            const uint32_t p = shown[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)];
            const uint8_t* q = &image.rgba[(static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                                            static_cast<size_t>(x)) * 4];
            for (int c = 0; c < 3; ++c)
            {
                const int diff = std::abs(int(q[c]) - int((p >> (16 - 8 * c)) & 0xFF));
                d.worst = std::max(d.worst, diff);
                total += diff;
                ++count;
            }
        }
    d.mean = count ? double(total) / double(count) : 0;
    return d;
}

class XViewCaptureWindowTest : public ViewHostWindowTest
{
public:
    XViewCaptureWindowTest() : ViewHostWindowTest("view_capture_window") {}

    // Presents a frame and reads the window back.
    std::vector<uint32_t> Shown()
    {
        Draw();
        return Pixels();
    }
    // Each visible viewport's client rectangle in the window (the view fills the form's top).
    std::vector<TRect> Pictures()
    {
        std::vector<TRect> rects;
        for (int i = 0; i < 4; ++i)
        {
            XViewport* v = view->GetViewport(i);
            if (!v->Visible())
                continue;
            const TRect c = v->ClientRect();
            const TPoint at = v->ClientToParent(TPoint(c.left, c.top), view);
            rects.push_back(TRect(at.x, at.y, at.x + c.Width(), at.y + c.Height()));
        }
        return rects;
    }
    // Drags the splitter across itself by `by` pixels with the button held, a step at a time as a
    // hand does (each step draws the viewports at their new places), and back to where it was.
    void DragAndBack(TSplitter* splitter, int by)
    {
        const bool columns = splitter->Align() == alLeft;
        auto place = [&] { return columns ? splitter->Left() : splitter->Top(); };
        const int start = place();
        const TPoint at = splitter->ClientToParent(TPoint(splitter->Width() / 2, splitter->Height() / 2), view);
        auto stepTo = [&](int offset)
        {
            MoveTo(at.x + (columns ? offset : 0), at.y + (columns ? 0 : offset));
        };
        stepTo(0);
        Button(1, true);
        for (int step = 1; step <= 10; ++step)
            stepTo(by * step / 10);
        ASSERT_TRUE(PumpUntil([&] { return place() == start + by; }));
        for (int step = 9; step >= 0; --step)
            stepTo(by * step / 10);
        ASSERT_TRUE(PumpUntil([&] { return place() == start; }));
        Button(1, false);
        // Everything sent before has been handled once a viewport sees the pointer come in.
        XViewport* v = view->GetViewport(0);
        const TPoint inside = v->ClientToParent(TPoint(v->Width() / 2, v->Height() / 2), view);
        MoveTo(inside.x, inside.y);
        ASSERT_TRUE(Reached(v, inside.x, inside.y));
    }
    // Saves the view as a BMP, as the demo's capture key does: its viewports' pictures are what the
    // window shows, and everything outside them (frames, splitters) is black, as in a view captured
    // before anything moved. The capture comes first, straight after whatever moved the viewports:
    // the last frame shown had them where the gaps are now.
    void ExpectCapturedAsShownWithBlackGaps(const std::string& at)
    {
        const auto path = dir / "view.bmp";
        view->CaptureImage(XString(WidePath(path).c_str()));
        const std::vector<uint32_t> shown = Shown();
        const std::vector<TRect> pictures = Pictures();
        const DecodedImage bmp = DecodeWithStb(ReadWholeFileData(path));
        ASSERT_EQ(bmp.width, W) << at << ": " << bmp.error;
        ASSERT_EQ(bmp.height, H) << at;
        for (const TRect& r : pictures)
            EXPECT_EQ(Compare(bmp, shown, W, r).worst, 0) << at;
        auto inPicture = [&](int x, int y) {
            return std::any_of(pictures.begin(), pictures.end(),
                               [&](const TRect& r) { return r.Contains(TPoint(x, y)); });
        };
        long gapNotBlack = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
            {
                const uint8_t* q = &bmp.rgba[(static_cast<size_t>(y) * W + static_cast<size_t>(x)) * 4];
                gapNotBlack += !inPicture(x, y) && (q[0] | q[1] | q[2]) != 0;
            }
        EXPECT_EQ(gapNotBlack, 0) << at;
    }
};
} // namespace

TEST_F(XViewCaptureWindowTest, BmpAndJpegCapturesMatchTheWindowInsideEveryViewport)
{
    BoxRecorder boxes;
    for (bool grid : {true, false})
        for (int layout : {11, 7})
        {
            const std::string at = "layout " + std::to_string(layout) + (grid ? " with grids" : " without grids");
            view->SetViewportLayout(layout);
            for (int i = 0; i < 4; ++i)
                view->GetViewport(i)->SetShowGrid(grid);
            const std::vector<uint32_t> shown = Shown();
            const std::vector<TRect> pictures = Pictures();
            ASSERT_EQ(pictures.size(), 4u) << at;

            const auto bmpPath = dir / "view.bmp";
            const auto jpegPath = dir / "view.jpg";
            view->CaptureImage(XString(WidePath(bmpPath).c_str()));
            view->CaptureImage(XString(WidePath(jpegPath).c_str()));
            EXPECT_TRUE(boxes.boxes.empty()) << at;
            const DecodedImage bmp = DecodeWithStb(ReadWholeFileData(bmpPath));
            ASSERT_EQ(bmp.width, W) << bmp.error;
            ASSERT_EQ(bmp.height, H);
            const std::vector<uint8_t> jpegFile = ReadWholeFileData(jpegPath);
            const DecodedImage jpeg = DecodeWithStb(jpegFile);
            ASSERT_EQ(jpeg.width, W) << jpeg.error;
            ASSERT_EQ(jpeg.height, H);

            // The BMP holds exactly what the window shows inside every viewport's picture (the
            // frames and splitters between them are the window's own painting).
            std::vector<uint8_t> rgb(static_cast<size_t>(W) * H * 3);
            for (size_t k = 0; k < static_cast<size_t>(W) * H; ++k)
                for (int c = 0; c < 3; ++c)
                    rgb[k * 3 + static_cast<size_t>(c)] = bmp.rgba[k * 4 + static_cast<size_t>(c)];
            long total = 0, count = 0;
            for (size_t i = 0; i < pictures.size(); ++i)
            {
                const TRect& r = pictures[i];
                // Each picture has something to compare: the scene or the caption over the back colour.
                std::set<uint32_t> colours;
                for (int y = r.top; y < r.bottom; ++y)
                    for (int x = r.left; x < r.right; ++x)
                    {
                        const size_t k = static_cast<size_t>(y) * W + static_cast<size_t>(x);
                        colours.insert(shown[k] & 0xFFFFFF);
                        for (int c = 0; c < 3; ++c)
                            rgb[k * 3 + static_cast<size_t>(c)] = static_cast<uint8_t>(shown[k] >> (16 - 8 * c));
                    }
                EXPECT_GT(colours.size(), 2u) << at << " V" << i;
                EXPECT_EQ(Compare(bmp, shown, W, r).worst, 0) << at << " V" << i;
                const Difference j = Compare(jpeg, shown, W, r);
                total += std::lround(j.mean * 3 * r.Width() * r.Height());
                count += 3L * r.Width() * r.Height();
            }
            // The JPEG is the JPEG library's own encoding of the window's pictures at its defaults:
            // whatever it loses is the format's.
            EXPECT_TRUE(jpegFile == CompressWithLibJpeg(rgb, W, H)) << at;
            // Quality 75 with halved chroma loses most on thin coloured lines: shaded surfaces and
            // captions stay within 6 a channel on average, the one-pixel grids do not.
            if (!grid)
            {
                EXPECT_LE(double(total) / double(count), 6.0) << at;
            }
        }
}

TEST_F(XViewCaptureWindowTest, WhatNoViewportCoversIsCapturedBlackAfterSplitterDragsAndLayoutChanges)
{
    BoxRecorder boxes;
    Draw();
    // During a drag the viewports are drawn where the gaps lie once it is over, and the layout
    // before had its viewports where the next one has its gaps.
    ASSERT_NO_FATAL_FAILURE(DragAndBack(view->GetSplitter(0), 100));
    ExpectCapturedAsShownWithBlackGaps("2 x 2 after a drag");
    view->SetViewportLayout(7);
    ExpectCapturedAsShownWithBlackGaps("layout 7");
    ASSERT_NO_FATAL_FAILURE(DragAndBack(view->GetSplitter(1), 80));
    ASSERT_NO_FATAL_FAILURE(DragAndBack(view->GetSplitter(0), 100));
    ExpectCapturedAsShownWithBlackGaps("layout 7 after drags");
    EXPECT_TRUE(boxes.boxes.empty());
}
