#include "Engine/Views/XViewCapture.h"

#include "Components/XMemoryStream.h"
#include "DirectX/D3dUtils.h"
#include "tests/support/ByteData.h"
#include "tests/support/ImageDecoders.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

struct Vertex
{
    float x, y, z, rhw;
    DWORD colour;
};

// A view of an odd width (rows of 97 pixels need padding in 16 and 24 bits): each frame clears and
// draws a quad with a colour at each corner, unless the device is lost.
constexpr unsigned W = 97, H = 61;

class XViewCaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(soft.device, nullptr);
        view.device = soft.device;
        view.renderFrame = [this]
        {
            IDirect3DDevice9* d = soft.device;
            HRESULT state = d->TestCooperativeLevel();
            if (state != D3D_OK)
                return state;
            ++frames;
            d->SetRenderState(D3DRS_LIGHTING, FALSE);
            d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
            d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00102030, 1.0f, 0);
            d->BeginScene();
            Vertex quad[6] = {{3, 2, 0.5f, 1, 0xFFFF0000}, {94, 2, 0.5f, 1, 0xFF00FF00},
                              {94, 59, 0.5f, 1, 0xFF0000FF}, {3, 2, 0.5f, 1, 0xFFFF0000},
                              {94, 59, 0.5f, 1, 0xFF0000FF}, {3, 59, 0.5f, 1, 0xFFFFFFFF}};
            d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex));
            d->EndScene();
            return D3D_OK;
        };
    }

    // The back buffer as the frame leaves it, top row first.
    std::vector<uint32_t> Shown()
    {
        view.renderFrame();
        return soft.BackBuffer();
    }

    std::vector<std::u16string> Texts() const
    {
        std::vector<std::u16string> texts;
        for (const RecordedBox& box : boxes.boxes)
            texts.push_back(box.text);
        return texts;
    }

    static std::set<std::string> FilesIn(const std::filesystem::path& folder)
    {
        std::set<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(folder))
            names.insert(item.path().filename().string());
        return names;
    }

    SoftDevice soft{W, H};
    XCaptureSource view;
    int frames = 0;
    BoxRecorder boxes;
};

uint32_t Word(const uint8_t* p, unsigned size)
{
    uint32_t w = 0;
    for (unsigned i = 0; i < size; ++i)
        w |= uint32_t(p[i]) << (8 * i);
    return w;
}
} // namespace

TEST_F(XViewCaptureTest, RawCaptureIsTheFrameRowsWithoutGaps)
{
    const std::vector<uint32_t> shown = Shown();
    const int before = frames;
    void* data = nullptr;
    unsigned w = 0, h = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    XViewCapture::CaptureBitmap(view, &data, w, h, format);
    std::unique_ptr<uint8_t[]> pixels(static_cast<uint8_t*>(data));
    EXPECT_EQ(frames, before + 1); // a frame of its own
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    EXPECT_EQ(format, D3DFMT_X8R8G8B8);
    int wrong = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        wrong += (Word(pixels.get() + i * 4, 4) & 0xFFFFFF) != (shown[i] & 0xFFFFFF);
    EXPECT_EQ(wrong, 0);
    EXPECT_NE(shown[30 * W + 48] & 0xFFFFFF, 0x102030u); // the quad is there
    EXPECT_EQ(soft.soft->GetLiveResourceCount(), 0u);

    // A frame that is not drawn ends the capture with the device's text.
    soft.soft->LoseDevice();
    EXPECT_EQ(ThrownMessage([&] { XViewCapture::CaptureBitmap(view, &data, w, h, format); }),
              Platform::FromUtf8(GetD3DResultText(D3DERR_DEVICELOST)));
    XCaptureSource none;
    EXPECT_EQ(ThrownMessage([&] { XViewCapture::CaptureBitmap(none, &data, w, h, format); }),
              Platform::FromUtf8(GetD3DResultText(D3DERR_INVALIDCALL)));
    EXPECT_EQ(soft.soft->GetLiveResourceCount(), 0u);
}

TEST_F(XViewCaptureTest, StreamCapturesInTheRequestedLayout)
{
    const std::vector<uint32_t> shown = Shown();
    for (XColorFormat layout : {XCF_X8R8G8B8, XCF_R5G6B5, XCF_R8G8B8, XCF_A4R4G4B4})
    {
        SCOPED_TRACE(layout);
        XMemoryStream stream(0, 8192);
        XViewCapture::CaptureBitmap(view, &stream, layout);
        const Bytes file = StreamBytes(stream);
        const unsigned size = GetColorFormatSize(layout);
        const size_t stride = (W * size + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 66 + stride * H);
        EXPECT_EQ(ReadU32(&file[10]), 66u);
        EXPECT_EQ(ReadU32(&file[18]), W);
        EXPECT_EQ(ReadU32(&file[22]), H);
        // Bottom row first; each pixel the conversion of the shown one.
        const Bytes shownBytes(reinterpret_cast<const uint8_t*>(shown.data()),
                               reinterpret_cast<const uint8_t*>(shown.data()) + shown.size() * 4);
        Bytes expected(shown.size() * size);
        ConvertBitmap(layout, expected.data(), XCF_X8R8G8B8, shownBytes.data(), W, H);
        int wrong = 0;
        for (unsigned y = 0; y < H; ++y)
            for (unsigned x = 0; x < W; ++x)
            {
                const uint32_t got = Word(&file[66 + (H - 1 - y) * stride + x * size], size);
                const uint32_t want = Word(&expected[(y * W + x) * size], size);
                const uint32_t mask = layout == XCF_X8R8G8B8 ? 0xFFFFFF : 0xFFFFFFFF;
                wrong += (got & mask) != (want & mask);
            }
        EXPECT_EQ(wrong, 0);

        // What a viewer shows: the shown colours within the layout's precision (4, 5 or 6 bits).
        const DecodedImage image = DecodeWithStbPastGap(file);
        ASSERT_EQ(image.width, int(W)) << image.error;
        ASSERT_EQ(image.height, int(H));
        const int tolerance = layout == XCF_A4R4G4B4 ? 17 : layout == XCF_R5G6B5 ? 8 : 0;
        int worst = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(image.rgba[i * 4 + c]) - int(shown[i] >> (16 - 8 * c) & 0xFF)));
        EXPECT_LE(worst, tolerance);
    }
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(soft.soft->GetLiveResourceCount(), 0u);

    // A layout that does not exist is shown, and nothing is written.
    XMemoryStream stream(0, 8192);
    XViewCapture::CaptureBitmap(view, &stream, static_cast<XColorFormat>(9));
    EXPECT_EQ(Texts(), std::vector<std::u16string>{u"Invalid output bitmap format."});
    EXPECT_EQ(stream.GetSize(), 0);

    // An injected failure to lock the read-back surface: the device's text, no surface left.
    boxes.boxes.clear();
    D3D9Faults* faults = GetD3D9Faults();
    ASSERT_NE(faults, nullptr);
    faults->failLockRect = 1;
    XViewCapture::CaptureBitmap(view, &stream, XCF_X8R8G8B8);
    faults->failLockRect = 0;
    EXPECT_EQ(Texts(), std::vector<std::u16string>{Platform::FromUtf8(GetD3DResultText(D3DERR_INVALIDCALL))});
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(soft.soft->GetLiveResourceCount(), 0u);
}

TEST_F(XViewCaptureTest, ImagesAndFiles)
{
    const std::vector<uint32_t> shown = Shown();
    auto expectPicture = [&](const DecodedImage& image, int tolerance)
    {
        ASSERT_EQ(image.width, int(W)) << image.error;
        ASSERT_EQ(image.height, int(H));
        long total = 0;
        int worst = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            for (int c = 0; c < 3; ++c)
            {
                const int want = int(shown[i] >> (16 - 8 * c) & 0xFF);
                const int diff = std::abs(int(image.rgba[i * 4 + c]) - want);
                total += diff;
                worst = std::max(worst, diff);
            }
        if (tolerance == 0)
        {
            EXPECT_EQ(worst, 0);
        }
        else
        {
            EXPECT_LE(double(total) / (shown.size() * 3), tolerance);
        }
    };
    XMemoryStream bmp(0, 8192);
    XViewCapture::CaptureImage(view, &bmp, bstBMP);
    const Bytes bmpFile = StreamBytes(bmp);
    ASSERT_EQ(bmpFile.size(), 54u + W * H * 4);
    expectPicture(DecodeWithStb(bmpFile), 0);
    XMemoryStream jpeg(0, 8192);
    XViewCapture::CaptureImage(view, &jpeg, bstJPEG);
    expectPicture(DecodeWithLibJpeg(StreamBytes(jpeg)), 6);
    EXPECT_TRUE(boxes.boxes.empty());

    TempDir dir("capture");
    XViewCapture::CaptureImage(view, XString(WidePath(dir / "X.JPG").c_str()));
    XViewCapture::CaptureImage(view, XString(WidePath(dir / "x.bmp").c_str()));
    XViewCapture::CaptureBitmap(view, XString(WidePath(dir / "layout0.bmp").c_str()), XCF_R5G6B5);
    EXPECT_TRUE(boxes.boxes.empty());
    expectPicture(DecodeWithStb(ReadWholeFileData(dir / "X.JPG")), 6);
    expectPicture(DecodeWithStb(ReadWholeFileData(dir / "x.bmp")), 0);
    expectPicture(DecodeWithStb(ReadWholeFileData(dir / "layout0.bmp")), 4);
    EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"X.JPG", "x.bmp", "layout0.bmp"}));

    // Another type: shown, no file.
    XViewCapture::CaptureImage(view, XString(WidePath(dir / "x.png").c_str()));
    EXPECT_EQ(Texts(), std::vector<std::u16string>{u"Неподдерживаемый тип файла."});

    // A lost device (lost, then waiting for a reset): its text shown, the file there before as it
    // was, no temporary file left.
    boxes.boxes.clear();
    const Bytes before = ReadWholeFileData(dir / "x.bmp");
    soft.soft->LoseDevice();
    XViewCapture::CaptureImage(view, XString(WidePath(dir / "x.bmp").c_str()));
    XViewCapture::CaptureBitmap(view, XString(WidePath(dir / "x.bmp").c_str()), XCF_X8R8G8B8);
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{Platform::FromUtf8(GetD3DResultText(D3DERR_DEVICELOST)),
                                                     Platform::FromUtf8(GetD3DResultText(D3DERR_DEVICENOTRESET))}));
    EXPECT_EQ(ReadWholeFileData(dir / "x.bmp"), before);
    EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"X.JPG", "x.bmp", "layout0.bmp"}));

    // A folder that is not there: the file stream's text reaches the caller, nothing is shown.
    boxes.boxes.clear();
    const XString missing(WidePath(dir / "missing" / "x.bmp").c_str());
    EXPECT_EQ(ThrownText([&] { XViewCapture::CaptureImage(view, missing); }), "Failed opening file.");
    EXPECT_EQ(ThrownText([&] { XViewCapture::CaptureBitmap(view, missing, XCF_X8R8G8B8); }), "Failed opening file.");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(soft.soft->GetLiveResourceCount(), 0u);
}
