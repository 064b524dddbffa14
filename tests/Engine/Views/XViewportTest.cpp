#include "Engine/Views/XViewport.h"

#include "Components/XException.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XCamera.h"
#include "Platform/Vcl/IniFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewDouble.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>
#include <fstream>

namespace
{
struct Fixture
{
    ViewDouble view;
    XViewport* viewport;
    Fixture()
    {
        viewport = new XViewport(nullptr, &view);
        viewport->SetBounds(0, 0, 100, 80);
    }
    ~Fixture() { delete viewport; }
};

TEST(XViewportTest, ClientPlaneAxisAndAxisVectors)
{
    Fixture f;
    EXPECT_EQ(f.viewport->ClientRect(), TRect(2, 2, 98, 78));
    EXPECT_EQ(f.viewport->GetClientWidth(), 98);
    EXPECT_EQ(f.viewport->GetPlaneAxis(), XAXIS_XZ);
    XMatrix grid = f.viewport->GetGridMatrix();
    XMatrix expected(1.0f);
    float half;
    uint32_t bits = 0x3FC90FDB;
    std::memcpy(&half, &bits, 4);
    expected.SetRotation(half, 0, 0);
    EXPECT_EQ(std::memcmp(&grid, &expected, sizeof grid), 0);
    f.viewport->SetPlaneAxis(7); // refused
    EXPECT_EQ(f.viewport->GetPlaneAxis(), XAXIS_XZ);
    f.viewport->SetPlaneAxis(XAXIS_YZ);
    EXPECT_EQ(f.viewport->GetPlaneAxis(), XAXIS_YZ);
    const XVertex axes[] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}, {0, 0, 2}, {2, 0, 2}, {0, 2, 2}, {2, 2, 2}};
    for (unsigned m = 0; m < 8; ++m)
    {
        XVertex v = AxisVector(2, m);
        EXPECT_TRUE(v.x == axes[m].x && v.y == axes[m].y && v.z == axes[m].z) << m;
    }
    XVertex none = AxisVector(2, 9);
    EXPECT_TRUE(none.x == 0 && none.y == 0 && none.z == 0);
    // The aspect ratio follows the control; a zero side leaves it.
    EXPECT_FLOAT_EQ(f.viewport->GetCamera()->GetAspectRatio(), 100.0f / 80.0f);
    f.viewport->SetBounds(0, 0, 0, 80);
    EXPECT_FLOAT_EQ(f.viewport->GetCamera()->GetAspectRatio(), 100.0f / 80.0f);
}

TEST(XViewportTest, ScreenToPlaneAndPicking)
{
    Fixture f;
    // A side view looking exactly along x: its rays run parallel to z = 0.
    XMatrix side(1.0f);
    side.m[0][0] = 0;
    side.m[0][2] = -1;
    side.m[2][0] = 1;
    side.m[2][2] = 0;
    f.viewport->GetCamera()->SetWorldMatrix(0, side);
    XVertex miss = f.viewport->ScreenToPlane(0, XPoint(50, 40), XAXIS_XY);
    EXPECT_TRUE(miss.x == 0 && miss.y == 0 && miss.z == 0);
    f.viewport->SetFrontView();
    EXPECT_EQ(f.viewport->GetCaption(), StrUtils::XBaseString<WCHAR>(u"Спереди - XY"));
    XVertex hit = f.viewport->ScreenToPlane(0, XPoint(98, 2), XAXIS_XY);
    EXPECT_GT(hit.x, 0);
    EXPECT_GT(hit.y, 0);
    // Far out: x clipped to 0, y kept.
    XMatrix far(1.0f);
    far.SetTranslation(20000, 0, 0);
    f.viewport->GetCamera()->SetWorldMatrix(0, far);
    XVertex clipped = f.viewport->ScreenToPlane(0, XPoint(49, 10), XAXIS_XY);
    EXPECT_EQ(clipped.x, 0);
    EXPECT_NE(clipped.y, 0);
    f.viewport->ResetCamera();

    // Picking in camera space: a click reaches 2 pixels, a zero rectangle only exact points.
    XVertex p = f.viewport->ScreenToCamera(0, XPoint(30, 30));
    XVertex near = f.viewport->ScreenToCamera(0, XPoint(32, 31));
    XVertex off = f.viewport->ScreenToCamera(0, XPoint(33, 30));
    XVertex points[] = {p, near, off};
    XArray<unsigned> picked;
    PickVertices(f.viewport, points, 3, XRect(30, 30, 30, 30), picked, XPT_CLICK);
    ASSERT_EQ(picked.GetCount(), 2u);
    picked.Clear();
    PickVertices(f.viewport, points, 3, XRect(30, 30, 30, 30), picked, XPT_RECT);
    ASSERT_EQ(picked.GetCount(), 1u);
    EXPECT_EQ(picked.GetData()[0], 0u);

    // Perspective: the ray starts at the camera, and nothing behind it is picked.
    f.viewport->GetCamera()->SetPerspective(true);
    XMatrix placed(1.0f);
    placed.SetTranslation(1, 2, 3);
    f.viewport->GetCamera()->SetWorldMatrix(0, placed);
    XVertex origin;
    f.viewport->GetRayOrigin(0, XVertex(10, 70, 0), origin);
    EXPECT_FLOAT_EQ(origin.x, 1);
    EXPECT_FLOAT_EQ(origin.z, 3);
    XVertex front = f.viewport->ScreenToCamera(0, XPoint(30, 30));
    XVertex behind(-front.x * 2, -front.y * 2, -2);
    XVertex deep(front.x * 5, front.y * 5, 5);
    XVertex persp[] = {behind, deep};
    picked.Clear();
    PickVertices(f.viewport, persp, 2, XRect(30, 30, 30, 30), picked, XPT_CLICK);
    ASSERT_EQ(picked.GetCount(), 1u);
    EXPECT_EQ(picked.GetData()[0], 1u);
}

TEST(XViewportTest, ASceneCameraGoneGivesTheOwnCameraBack)
{
    Fixture f;
    XCamera* own = f.viewport->GetCamera();
    auto* sceneCamera = new XCamera;
    f.viewport->SetCamera(sceneCamera);
    EXPECT_EQ(f.viewport->GetCamera(), sceneCamera);
    delete sceneCamera;
    EXPECT_EQ(f.viewport->GetCamera(), own);
}

TEST(XViewportTest, GridScaleAndCaptions)
{
    const float bounds[] = {50, 25, 10, 5, 2.5f, 1, 0.5f, 0.25f, 0.1f, 0.05f, 0.025f};
    const float scales[] = {0.004f, 0.01f, 0.02f, 0.04f, 0.1f, 0.2f, 0.4f, 1, 2, 4, 10};
    for (int i = 0; i < 11; ++i)
    {
        EXPECT_FLOAT_EQ(XViewport::GridScale(bounds[i]), scales[i]) << bounds[i];
        EXPECT_FLOAT_EQ(XViewport::GridScale(bounds[i] * 1.0001f), i == 0 ? 0.002f : scales[i - 1]) << bounds[i];
    }
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(0.05f)), StrUtils::XBaseString<WCHAR>(u" (4.0 : 1)"));
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(50)), StrUtils::XBaseString<WCHAR>(u" (1 : 250.0)"));
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(51)), StrUtils::XBaseString<WCHAR>(u" (1 : 500.0)"));
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(0.025f)), StrUtils::XBaseString<WCHAR>(u" (10.0 : 1)"));

    Fixture f;
    f.viewport->SetTopView();
    f.viewport->SetShowGrid(false);
    EXPECT_EQ(f.viewport->CaptionText(0), StrUtils::XBaseString<WCHAR>(u"Сверху - XZ"));
    auto* camera = new XCamera;
    camera->SetName(u"Cam01");
    f.viewport->SetCamera(camera);
    EXPECT_EQ(f.viewport->CaptionText(0), StrUtils::XBaseString<WCHAR>(u"Камера: Cam01"));
    delete camera;
}

TEST(XViewportTest, ChunkAndIniStateRoundTripAndKeepBadValues)
{
    Fixture f;
    f.viewport->SetBackColor(XColor(0xFF112233u));
    f.viewport->SetCullMode(2);
    auto* other = new XCamera;
    f.viewport->SetCamera(other); // the own camera is written all the same
    XMemoryStream stream(4, 1024);
    {
        XWriter writer(&stream);
        f.viewport->Save(nullptr, writer);
    }
    delete other;
    Fixture g;
    stream.SetPosition(0);
    {
        XReader reader(&stream);
        ASSERT_TRUE(reader.NextChunk());
        g.viewport->Load(nullptr, reader);
    }
    EXPECT_EQ(g.viewport->GetBackColor().GetARGB(), 0xFF112233u);
    EXPECT_EQ(g.viewport->GetCullMode(), 2u);

    TempDir dir;
    TIniFile ini(UnicodeString(Platform::FromUtf8((dir / "v.ini").string())));
    f.viewport->SaveState(&ini, u"View_Viewport0");
    std::ifstream in(dir / "v.ini", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Lighting=1\r\nNormalizeNormals=0\r\nAmbient=8421504\r\nCullMode=2\r\nPointSize=3\r\n"
                        "ShadeMode=3\r\nShowGrid=1\r\nBackColor=3351057\r\nFillMode=3\r\n"),
              std::string::npos)
        << text;
    ini.WriteString(u"View_Viewport0", u"CullMode", u"abc");
    ini.WriteString(u"View_Viewport0", u"PointSize", u"nan");
    ini.WriteString(u"View_Viewport0", u"FillMode", u"9");
    Fixture h;
    h.viewport->LoadState(&ini, u"View_Viewport0");
    EXPECT_EQ(h.viewport->GetAmbient().GetARGB(), 0xFF808080u);
    EXPECT_EQ(h.viewport->GetBackColor().GetARGB(), 0xFF112233u);
    EXPECT_EQ(h.viewport->GetCullMode(), 1u);
    EXPECT_EQ(h.viewport->GetPointSize(), 3.0f);
    EXPECT_EQ(h.viewport->GetFillMode(), 3u);
}
} // namespace

#include "Engine/Scene/XScene.h"
#include "tests/support/SoftDevice.h"

namespace
{
TEST(XViewportTest, RenderPassSetsItsStatesInOrderAndDrawsOnlyWithAScene)
{
    SoftDevice soft;
    ASSERT_NE(soft.device, nullptr);
    Fixture f;
    f.view.device = soft.device;
    f.viewport->CreateDevice(soft.device);
    soft.Clear();
    f.viewport->Render(nullptr, true);
    EXPECT_TRUE(soft.Log().empty());

    XScene scene(nullptr);
    f.viewport->Render(&scene, true);
    std::vector<std::string> calls = soft.Texts();
    ASSERT_GE(calls.size(), 16u);
    EXPECT_EQ(calls[0], "SetViewport(2 2 96 76 0 1)");
    EXPECT_EQ(calls[1], "Clear(1, 3, " + std::to_string(0xFF888888u) + ", 1, 0)");
    EXPECT_EQ(calls[2], "BeginScene()");
    EXPECT_EQ(calls[3].rfind("SetTransform(3", 0), 0u);
    EXPECT_EQ(calls[4].rfind("SetTransform(2", 0), 0u);
    const char* states[] = {"SetRenderState(141, 1)", "SetRenderState(7, 0)",  "SetRenderState(137, 0)",
                            "SetRenderState(27, 0)",  "SetRenderState(15, 0)", "SetRenderState(22, 1)",
                            "SetRenderState(9, 3)",   "SetRenderState(137, 1)"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(calls[5 + i], states[i]);
    EXPECT_EQ(calls[13].rfind("SetRenderState(139, ", 0), 0u);
    EXPECT_EQ(calls[14], "LightEnable(0, 1)");
    EXPECT_EQ(calls[15].rfind("SetLight(0, ", 0), 0u);
    EXPECT_EQ(calls.back().rfind("Present(", 0), 0u);
    EXPECT_EQ(calls[calls.size() - 2], "EndScene()");

    soft.Clear();
    f.viewport->SetLighting(false);
    f.viewport->Render(&scene, false);
    for (const std::string& call : soft.Texts())
    {
        EXPECT_EQ(call.rfind("SetLight(0", 0), std::string::npos);
        EXPECT_EQ(call.rfind("Present", 0), std::string::npos);
    }
    f.view.device = nullptr;
}
} // namespace

namespace
{
// A viewport block of the given children, each {id, payload bytes}.
std::vector<uint8_t> Block(uint32_t id, const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& children)
{
    std::vector<uint8_t> body;
    auto u32 = [](std::vector<uint8_t>& out, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    for (const auto& [child, payload] : children)
    {
        u32(body, child);
        u32(body, static_cast<uint32_t>(payload.size() + 8));
        body.insert(body.end(), payload.begin(), payload.end());
    }
    std::vector<uint8_t> out;
    u32(out, id);
    u32(out, static_cast<uint32_t>(body.size() + 8));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

void LoadBytes(XViewport* viewport, const std::vector<uint8_t>& bytes)
{
    XMemoryStream stream(1, 1024);
    stream.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
    stream.SetPosition(0);
    XReader reader(&stream);
    ASSERT_TRUE(reader.NextChunk());
    viewport->Load(nullptr, reader);
}

TEST(XViewportTest, DamagedChunksKeepTheFieldsOrRaiseTheReadersError)
{
    Fixture f;
    // Another block id reads nothing; a block without the back colour keeps it; out-of-range
    // modes and point sizes keep theirs; an unknown child is skipped.
    LoadBytes(f.viewport, Block(0xFE440000, {{XViewport::CullModeChunk, {2, 0, 0, 0}}}));
    EXPECT_EQ(f.viewport->GetCullMode(), 1u);
    float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> nanBytes(4);
    std::memcpy(nanBytes.data(), &nan, 4);
    LoadBytes(f.viewport, Block(XViewport::ViewportChunk, {{XViewport::CullModeChunk, {7, 0, 0, 0}},
                                                           {XViewport::FillModeChunk, {2, 0, 0, 0}},
                                                           {0xFE4500FF, {1, 2, 3}},
                                                           {XViewport::PointSizeChunk, nanBytes},
                                                           {XViewport::PlaneAxisChunk, {7, 0, 0, 0}}}));
    EXPECT_EQ(f.viewport->GetCullMode(), 1u);
    EXPECT_EQ(f.viewport->GetFillMode(), 2u);
    EXPECT_EQ(f.viewport->GetPointSize(), 3.0f);
    EXPECT_EQ(f.viewport->GetPlaneAxis(), XAXIS_XZ);
    EXPECT_EQ(f.viewport->GetBackColor().GetARGB(), 0xFF888888u);
    // A value cut short is the reader's error, not the next chunk's bytes.
    EXPECT_THROW(LoadBytes(f.viewport, Block(XViewport::ViewportChunk, {{XViewport::BackColorChunk, {1, 2}},
                                                                        {XViewport::CullModeChunk, {2, 0, 0, 0}}})),
                 FileUtils::XIOError);
    EXPECT_EQ(f.viewport->GetBackColor().GetARGB(), 0xFF888888u);
    EXPECT_EQ(XColor::FromColorRef(0x00332211).GetARGB(), 0xFF112233u);
}
} // namespace

#include "Platform/Vcl/Forms.h"

namespace
{
TEST(XViewportTest, BorderPaintsInTheViewColoursAndRepaintsKeepThePicture)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 120, 100);
    auto* view = new ViewDouble;
    view->SetParent(&form);
    view->SetBounds(0, 0, 120, 100);
    auto* viewport = new XViewport(nullptr, view);
    viewport->SetParent(view);
    viewport->SetBounds(10, 10, 100, 80);
    form.Show();
    // The view's own viewport alone, filling it: no splitter paints over the picture.
    view->SetViewportLayout(0);
    ASSERT_NE(view->GetDevice(), nullptr);
    viewport->CreateDevice(view->GetDevice());
    form.PaintDirty();
    auto pixel = [&](int x, int y) { return form.Pixels()[y * form.ClientWidth() + x] & 0xFFFFFF; };
    EXPECT_EQ(pixel(11, 11), 0x808080u);
    view->activeViewport = viewport;
    viewport->Invalidate();
    form.PaintDirty();
    EXPECT_EQ(pixel(11, 11), 0xFF0000u); // TColor 0x0000FF is red
    XScene scene(nullptr);
    viewport->SetShowGrid(false);
    viewport->Render(&scene, true);
    EXPECT_EQ(pixel(60, 50), 0x888888u);
    form.Invalidate();
    form.PaintDirty();
    EXPECT_EQ(pixel(60, 50), 0x888888u);
    EXPECT_EQ(pixel(11, 11), 0xFF0000u);
    view->activeViewport = nullptr;
    delete viewport;
}
} // namespace
