#include "Engine/Views/XView.h"

#include "Components/XMemoryStream.h"
#include "DirectX/D3dUtils.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/ByteData.h"
#include "tests/support/ImageDecoders.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewHost.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

ISoftDevice9* SoftOf(IDirect3DDevice9* device)
{
    ISoftDevice9* soft = nullptr;
    if (device)
        device->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft));
    if (soft)
        soft->Release();
    return soft;
}

std::vector<std::u16string> Texts(const BoxRecorder& boxes)
{
    std::vector<std::u16string> texts;
    for (const RecordedBox& box : boxes.boxes)
        texts.push_back(box.text);
    return texts;
}

std::u16string DeviceText(HRESULT result)
{
    return Platform::FromUtf8(GetD3DResultText(result));
}

// Largest difference of one channel and the mean difference between a decoded image and the
// shown pixels (0x00RRGGBB, top row first).
std::pair<int, double> Difference(const DecodedImage& image, const std::vector<uint32_t>& shown)
{
    int worst = 0;
    long total = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        for (int c = 0; c < 3; ++c)
        {
            const int d = std::abs(int(image.rgba[i * 4 + c]) - int(shown[i] >> (16 - 8 * c) & 0xFF));
            worst = std::max(worst, d);
            total += d;
        }
    return {worst, double(total) / double(shown.size() * 3)};
}

// A view whose every frame throws once the device is up.
class ThrowingView : public XView
{
public:
    using XView::XView;
    void RenderFinish() override { throw XException(u"frame failed"); }
};
} // namespace

TEST(XViewImageCaptureTest, TheViewsFrameRawAsBitmapsAndAsFiles)
{
    TempDir dir("viewcapture");
    TViewHostForm host(nullptr, dir.Path(), TViewHostForm::HostSceneOptions(), 161, 121);
    host.HandleNeeded();
    XView* view = host.View();
    BoxRecorder boxes;
    view->RenderScene(true);
    IDirect3DDevice9* device = view->GetDevice();
    ASSERT_NE(device, nullptr);
    ISoftDevice9* soft = SoftOf(device);
    ASSERT_NE(soft, nullptr);
    std::vector<uint32_t> shown = SoftDevice::ReadBackBuffer(device);
    for (uint32_t& p : shown)
        p &= 0xFFFFFF;
    ASSERT_EQ(shown.size(), 161u * 121u);
    ASSERT_GT(std::set<uint32_t>(shown.begin(), shown.end()).size(), 2u); // scene, frames, captions
    const UINT live = soft->GetLiveResourceCount();

    // Raw: the back buffer's size and format, the frame's pixels, rows without gaps.
    void* data = nullptr;
    unsigned w = 0, h = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    view->CaptureBitmap(&data, w, h, format);
    std::unique_ptr<uint8_t[]> raw(static_cast<uint8_t*>(data));
    ASSERT_EQ(w, 161u);
    ASSERT_EQ(h, 121u);
    EXPECT_EQ(format, D3DFMT_X8R8G8B8);
    int wrong = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        wrong += (ReadU32(raw.get() + i * 4) & 0xFFFFFF) != shown[i];
    EXPECT_EQ(wrong, 0);

    // Stream, layout 7: the 66-byte header, then those pixels bottom-up; layout 0: the converted words.
    XMemoryStream x8(0, 8192);
    view->CaptureBitmap(&x8, XCF_X8R8G8B8);
    const Bytes file = StreamBytes(x8);
    ASSERT_EQ(file.size(), 66u + w * h * 4);
    wrong = 0;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            wrong += (ReadU32(&file[66 + ((h - 1 - y) * w + x) * 4]) & 0xFFFFFF) != shown[y * w + x];
    EXPECT_EQ(wrong, 0);
    XMemoryStream r5(0, 8192);
    view->CaptureBitmap(&r5, XCF_R5G6B5);
    const Bytes words = StreamBytes(r5);
    const size_t stride = (w * 2 + 3) / 4 * 4;
    ASSERT_EQ(words.size(), 66u + stride * h);
    Bytes expected(w * h * 2);
    ConvertBitmap(XCF_R5G6B5, expected.data(), XCF_X8R8G8B8, raw.get(), w, h);
    wrong = 0;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            wrong += std::memcmp(&words[66 + (h - 1 - y) * stride + x * 2], &expected[(y * w + x) * 2], 2) != 0;
    EXPECT_EQ(wrong, 0);

    // Files by their extension, decoded by stb_image; an unknown one shown and not created.
    view->CaptureImage(XString(WidePath(dir / "X.JPG").c_str()));
    view->CaptureImage(XString(WidePath(dir / "x.bmp").c_str()));
    view->CaptureBitmap(XString(WidePath(dir / "r5.bmp").c_str()), XCF_R5G6B5);
    view->CaptureImage(XString(WidePath(dir / "x.png").c_str()));
    EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Неподдерживаемый тип файла."});
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
    const DecodedImage jpeg = DecodeWithStb(ReadWholeFileData(dir / "X.JPG"));
    ASSERT_EQ(jpeg.width, int(w)) << jpeg.error;
    ASSERT_EQ(jpeg.height, int(h));
    EXPECT_LE(Difference(jpeg, shown).second, 24.0); // thin frames and caption text at quality 75
    Bytes rgb;
    for (uint32_t p : shown)
        rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    EXPECT_EQ(ReadWholeFileData(dir / "X.JPG"), CompressWithLibJpeg(rgb, int(w), int(h)));
    const DecodedImage bmp = DecodeWithStb(ReadWholeFileData(dir / "x.bmp"));
    ASSERT_EQ(bmp.width, int(w)) << bmp.error;
    EXPECT_EQ(Difference(bmp, shown).first, 0);
    // The fourth byte of every pixel alike, in the gaps between the viewports too: viewers that
    // take it as alpha show the whole frame so.
    for (const Bytes& written : {file, ReadWholeFileData(dir / "x.bmp")})
    {
        std::set<uint8_t> fourth;
        for (size_t i = written.size() - size_t(w) * h * 4 + 3; i < written.size(); i += 4)
            fourth.insert(written[i]);
        EXPECT_EQ(fourth, std::set<uint8_t>{0xFF});
    }
    const DecodedImage r5File = DecodeWithStb(ReadWholeFileData(dir / "r5.bmp"));
    ASSERT_EQ(r5File.width, int(w)) << r5File.error;
    EXPECT_LE(Difference(r5File, shown).first, 8);
    EXPECT_EQ(soft->GetLiveResourceCount(), live);

    // A lost device: its text shown, the target as it was; the raw form raises it.
    boxes.boxes.clear();
    const Bytes before = ReadWholeFileData(dir / "x.bmp");
    soft->LoseDevice();
    view->CaptureImage(XString(WidePath(dir / "x.bmp").c_str()));
    EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{DeviceText(D3DERR_DEVICELOST)});
    EXPECT_EQ(ReadWholeFileData(dir / "x.bmp"), before);
    // The next capture resets the device and draws.
    view->CaptureBitmap(&data, w, h, format);
    std::unique_ptr<uint8_t[]> again(static_cast<uint8_t*>(data));
    EXPECT_EQ(w, 161u);
    EXPECT_EQ(Texts(boxes).size(), 1u);
}

TEST(XViewImageCaptureTest, AFrameThatThrowsEndsTheCaptureAndWritesNothing)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 160);
    auto* view = new ThrowingView(&form);
    view->SetParent(&form);
    view->SetBounds(0, 0, 120, 90);
    form.HandleNeeded();
    ASSERT_NE(view->GetDevice(), nullptr);
    BoxRecorder boxes;
    view->RenderScene(true); // the timer's frame drops the failure

    void* data = nullptr;
    unsigned w = 0, h = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    EXPECT_EQ(ThrownMessage([&] { view->CaptureBitmap(&data, w, h, format); }), DeviceText(E_FAIL));
    EXPECT_EQ(data, nullptr);
    XMemoryStream stream(0, 8192);
    view->CaptureImage(&stream, bstBMP);
    view->CaptureBitmap(&stream, XCF_X8R8G8B8);
    EXPECT_EQ(Texts(boxes), (std::vector<std::u16string>{DeviceText(E_FAIL), DeviceText(E_FAIL)}));
    EXPECT_EQ(stream.GetSize(), 0);
}
