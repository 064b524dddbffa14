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
