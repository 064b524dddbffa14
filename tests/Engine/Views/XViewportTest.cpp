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

#include <cmath>
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
    EXPECT_EQ(f.viewport->GetClientWidth(), 96);
    EXPECT_EQ(f.viewport->GetClientHeight(), 76);
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
    const XVertex axes[] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0},
                            {0, 0, 2}, {2, 0, 2}, {0, 2, 2}, {2, 2, 2}};
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
        EXPECT_FLOAT_EQ(XViewport::GridScale(bounds[i] * 1.0001f), i == 0 ? 0.002f : scales[i - 1])
            << bounds[i];
    }
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(0.05f)), StrUtils::XBaseString<WCHAR>(u" (4.0 : 1)"));
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(50)), StrUtils::XBaseString<WCHAR>(u" (1 : 250.0)"));
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(51)), StrUtils::XBaseString<WCHAR>(u" (1 : 500.0)"));
    EXPECT_EQ(XViewport::GridLabel(XViewport::GridScale(0.025f)),
              StrUtils::XBaseString<WCHAR>(u" (10.0 : 1)"));

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
    // A size past the float range would become infinite (and save as text no reader takes back).
    for (const char16_t* size : {u"1e300", u"3.5e38", u"-1e300"})
    {
        ini.WriteString(u"View_Viewport0", u"PointSize", size);
        h.viewport->LoadState(&ini, u"View_Viewport0");
        EXPECT_EQ(h.viewport->GetPointSize(), 3.0f) << Platform::ToUtf8(size, std::char_traits<char16_t>::length(size));
    }
    ini.WriteString(u"View_Viewport0", u"PointSize", u"3.4e38");
    h.viewport->LoadState(&ini, u"View_Viewport0");
    EXPECT_EQ(h.viewport->GetPointSize(), 3.4e38f);
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
    // The head light looks along the camera's viewing axis: the third row of its world matrix.
    f.viewport->SetTopView();
    f.viewport->Render(&scene, true);
    D3DLIGHT9 light{};
    ASSERT_EQ(soft.device->GetLight(0, &light), D3D_OK);
    XMatrix world;
    f.viewport->GetCamera()->GetMatrix(0, world);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(light.Direction.x, world.m[2][0]);
    EXPECT_FLOAT_EQ(light.Direction.y, world.m[2][1]);
    EXPECT_FLOAT_EQ(light.Direction.z, world.m[2][2]);
    EXPECT_NEAR(std::fabs(light.Direction.y), 1.0f, 1e-6f); // the top view looks along the y axis
    EXPECT_FLOAT_EQ(light.Range, std::sqrt(3.4e38f));
    EXPECT_FLOAT_EQ(light.Attenuation0, 0.001f);
    EXPECT_FLOAT_EQ(light.Attenuation1, 0.001f);
    EXPECT_EQ(light.Attenuation2, 0.0f);
    EXPECT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_EQ(light.Specular.r, 0.0f);
    EXPECT_EQ(light.Ambient.g, 0.0f);
    BOOL on = FALSE;
    ASSERT_EQ(soft.device->GetLightEnable(0, &on), D3D_OK);
    EXPECT_TRUE(on);

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
std::vector<uint8_t> Block(uint32_t id,
                           const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& children)
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
    EXPECT_THROW(
        LoadBytes(f.viewport, Block(XViewport::ViewportChunk, {{XViewport::BackColorChunk, {1, 2}},
                                                               {XViewport::CullModeChunk, {2, 0, 0, 0}}})),
        FileUtils::XIOError);
    EXPECT_EQ(f.viewport->GetBackColor().GetARGB(), 0xFF888888u);
    // The last option of the block, the point size, is bounded by its chunk too.
    EXPECT_THROW(
        LoadBytes(f.viewport, Block(XViewport::ViewportChunk, {{XViewport::PointSizeChunk, {0, 0}},
                                                               {XViewport::CullModeChunk, {2, 0, 0, 0}}})),
        FileUtils::XIOError);
    EXPECT_EQ(f.viewport->GetPointSize(), 3.0f);
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

#include "tests/support/LitCube.h"
#include "tests/support/ReferenceImage.h"

#include <algorithm>
#include <cmath>

namespace
{

TEST(XViewportTest, ALitTexturedCubeShowsItsShadedFaceOverTheGridInsideTheBorder)
{
    TempDir dir;
    XScene scene(nullptr);
    LitCube::Build(scene, dir.Path());
    TForm form(nullptr);
    const auto [view, viewport] = AddFramedViewport(form);
    form.Show();
    IDirect3DDevice9* device = view->GetDevice();
    ASSERT_NE(device, nullptr);
    viewport->CreateDevice(device);
    scene.CreateDevice(device);
    form.PaintDirty();
    viewport->Render(&scene, true);

    const int stride = form.ClientWidth();
    auto pixel = [&](float x, float y)
    { return form.Pixels()[static_cast<int>(y) * stride + static_cast<int>(x)] & 0xFFFFFF; };
    // The client area in the form: the viewport's place plus its 2-pixel border.
    const float left = 12, top = 12, width = 196, height = 156;
    const XMatrix p = viewport->GetProjectionMatrix(0);
    auto project = [&](const XVertex& world)
    { return LitCube::Project(world, p.m[0][0], p.m[1][1], left, top, width, height); };

    // Inside the front face, on its two middle lines (off the diagonal of the wire overlay).
    const uint32_t face = LitCube::FrontFaceColour();
    const float h = LitCube::Side / 2;
    std::vector<XPoint> inside;
    for (XVertex local : {XVertex(0, 0.4f * h, -h), XVertex(0, -0.4f * h, -h), XVertex(0.4f * h, 0, -h),
                          XVertex(-0.4f * h, 0, -h)})
    {
        XPoint at = project(LitCube::ToWorld(local));
        inside.push_back(at);
        EXPECT_TRUE(ColoursNear(pixel(at.x, at.y), face, 3))
            << std::hex << pixel(at.x, at.y) << " at " << at.x << "," << at.y << " for " << face;
    }

    // The grid lies in z = 0 behind the box: its lines every s units (s from the projection's
    // scale), 0x888888 between them, none over the box.
    ASSERT_GT(p.m[0][0], 0.25f);
    ASSERT_LE(p.m[0][0], 0.5f);
    const float s = 0.4f;
    float boxTop = 1e9f;
    for (float x : {-h, h})
        for (float y : {-h, h})
            for (float z : {-h, h})
                boxTop = std::min(boxTop, project(LitCube::ToWorld(XVertex(x, y, z))).y);
    const int gridColour = 0x6666CC;
    int lines = 0;
    for (int k = -20; k <= 20; ++k)
    {
        for (int j = -20; j <= 20; ++j)
        {
            // A vertical line k crossing the middle of row band j, and the middle of the cell.
            XPoint line = project(XVertex(k * s, (j + 0.5f) * s, 0));
            XPoint cell = project(XVertex((k + 0.5f) * s, (j + 0.5f) * s, 0));
            if (line.x < left + 2 || cell.x > left + width - 2 || line.y < top + 2 || line.y > boxTop - 3)
                continue;
            bool drawn = false;
            for (int dx = -1; dx <= 1; ++dx)
                drawn = drawn || pixel(line.x + dx, line.y) == static_cast<uint32_t>(gridColour);
            EXPECT_TRUE(drawn) << "line " << k << " at " << line.x << "," << line.y;
            EXPECT_EQ(pixel(cell.x, cell.y), 0x888888u) << cell.x << "," << cell.y;
            ++lines;
        }
    }
    EXPECT_GE(lines, 10);

    // The border: grey, red once the viewport is the active one; repaints keep the 3D pixels.
    EXPECT_EQ(pixel(10, 10), 0x808080u);
    EXPECT_EQ(pixel(11, 100), 0x808080u);
    view->activeViewport = viewport;
    viewport->Invalidate();
    form.PaintDirty();
    form.Invalidate();
    form.PaintDirty();
    EXPECT_EQ(pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(pixel(208, 168), 0xFF0000u);
    for (const XPoint& at : inside)
        EXPECT_TRUE(ColoursNear(pixel(at.x, at.y), face, 3)) << at.x << "," << at.y;
    view->activeViewport = nullptr;
    scene.ReleaseDevice(device);
    delete viewport;
}
} // namespace

namespace
{
// Whatever a damaged block holds, the options stay among the values a viewport can draw with.
void ExpectUsableOptions(XViewport* viewport, const std::string& where)
{
    for (uint32_t mode : {viewport->GetFillMode(), viewport->GetShadeMode(), viewport->GetCullMode()})
        EXPECT_TRUE(mode >= 1 && mode <= 3) << where << ": mode " << mode;
    const float size = viewport->GetPointSize();
    EXPECT_TRUE(std::isfinite(size) && size >= 0) << where << ": point size " << size;
    const unsigned axis = viewport->GetPlaneAxis();
    EXPECT_TRUE(axis == XAXIS_XY || axis == XAXIS_XZ || axis == XAXIS_YZ) << where << ": axis " << axis;
}

TEST(XViewportTest, ABlockCutAtEveryLengthOrHoldingAnyValueLoadsCleanly)
{
    Fixture saved;
    saved.viewport->SetCullMode(2);
    saved.viewport->SetShowGrid(false);
    XMemoryStream stream(4, 1024);
    {
        XWriter writer(&stream);
        saved.viewport->Save(nullptr, writer);
    }
    std::vector<uint8_t> whole(static_cast<size_t>(stream.GetSize()));
    stream.SetPosition(0);
    stream.Read(whole.data(), static_cast<unsigned>(whole.size()));
    // Ten children in their order, the own camera first; no ambient colour among them.
    auto word = [&](size_t at) {
        return static_cast<uint32_t>(whole[at] | whole[at + 1] << 8 | whole[at + 2] << 16 |
                                     whole[at + 3] << 24);
    };
    ASSERT_EQ(word(0), XViewport::ViewportChunk);
    ASSERT_EQ(word(4), whole.size());
    std::vector<uint32_t> children;
    for (size_t at = 8; at + 8 <= whole.size() && word(at + 4) >= 8; at += word(at + 4))
        children.push_back(word(at) - XViewport::ViewportChunk);
    EXPECT_EQ(children, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

    // The block cut short, with its own size saying so (the children run over its end) or not
    // (the block runs over the end of the stream).
    for (size_t length = 0; length < whole.size(); ++length)
    {
        for (bool resized : {true, false})
        {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            if (resized && length >= 8)
                for (int i = 0; i < 4; ++i)
                    cut[4 + i] = static_cast<uint8_t>(length >> (8 * i));
            Fixture f;
            XMemoryStream in(1, 1024);
            in.Write(cut.data(), static_cast<unsigned>(cut.size()));
            in.SetPosition(0);
            XReader reader(&in);
            try
            {
                if (reader.NextChunk())
                    f.viewport->Load(nullptr, reader);
            }
            catch (const XException&)
            {
                // The reader's error for a value cut short: allowed, the options stay usable.
            }
            ExpectUsableOptions(f.viewport, "cut at " + std::to_string(length));
        }
    }

    // Every option's chunk holding values outside its range, at its edges and of other widths.
    const std::vector<uint32_t> words = {0, 1, 3, 4, 5, 6, 7, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    const float floats[] = {-1.0f,
                            -0.0f,
                            0.0f,
                            1e38f,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::denorm_min()};
    for (uint32_t id = XViewport::ShowGridChunk; id <= XViewport::PointSizeChunk; ++id)
    {
        std::vector<std::vector<uint8_t>> payloads = {{}, {0xFF}, {1, 2, 3}, {1, 2, 3, 4, 5, 6, 7, 8}};
        for (uint32_t w : words)
            payloads.push_back({static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                                static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 24)});
        for (float v : floats)
        {
            std::vector<uint8_t> bytes(4);
            std::memcpy(bytes.data(), &v, 4);
            payloads.push_back(bytes);
        }
        for (const auto& payload : payloads)
        {
            Fixture f;
            try
            {
                LoadBytes(f.viewport, Block(XViewport::ViewportChunk, {{id, payload}}));
            }
            catch (const XException&)
            {
            }
            ExpectUsableOptions(f.viewport, "chunk " + std::to_string(id - XViewport::ViewportChunk) +
                                                " of " + std::to_string(payload.size()) + " bytes");
        }
    }
}
} // namespace
