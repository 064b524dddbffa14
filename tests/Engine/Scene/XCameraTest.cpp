#include "Engine/Scene/XCamera.h"

#include "Components/XException.h"
#include "Components/XVariant.h"
#include "Engine/Scene/XCameraPreset.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr float kPi = 3.14159274f;

// Sees the cache stamps.
class ProbeCamera : public XCamera
{
public:
    uint32_t ViewFrame() const { return m_ViewFrame; }
    uint32_t ProjFrame() const { return m_ProjFrame; }
    void MarkView(float value) { m_View.m[0][1] = value; } // shows whether the cache is reused
};

XMatrix Translation(float x, float y, float z)
{
    XMatrix m;
    m.SetTranslation(x, y, z);
    return m;
}

XMatrix Local(const XMeshNode& node)
{
    XMatrix m;
    node.GetLocalMatrix(m);
    return m;
}

std::vector<uint8_t> CameraChunk(const std::function<void(XWriter&)>& fields)
{
    return SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(ClassId::Camera);
            fields(w);
            w.EndChunk();
        });
}

void Load(XCamera& camera, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { camera.Load(nullptr, r); });
}

uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
} // namespace

TEST(XCameraTest, NewCameraIsOrthographicWithTheDefaultLens)
{
    XCamera camera;
    EXPECT_EQ(camera.GetName(), u"Camera");
    EXPECT_EQ(camera.GetClassId(), 0x12700000u);
    EXPECT_EQ(camera.GetClassNameW(), u"XCamera");
    EXPECT_EQ(camera.GetCategory(), 0x1010u);
    EXPECT_EQ(Bits(camera.GetFOV()), 0x3F490FDBu);
    EXPECT_EQ(Bits(camera.GetAspectRatio()), 0x3FAA3D71u);
    EXPECT_EQ(camera.GetNearViewPlane(), 1.0f);
    EXPECT_EQ(camera.GetFarViewPlane(), 100.0f);
    EXPECT_FALSE(camera.GetPerspective());
    EXPECT_EQ(camera.GetTarget(), nullptr);
    EXPECT_EQ(camera.GetMesh(), nullptr);
    EXPECT_TRUE(camera.Editable());

    // h = 1 / tan(pi / 8), w = h * 1.33, the box -w..w, -h..h, -far..far.
    const XMatrix& p = camera.GetProjectionMatrix(0);
    const float h = 2.4142134f;
    const float w = 3.2109039f;
    EXPECT_FLOAT_EQ(p.m[0][0], 1.0f / w);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f / h);
    EXPECT_FLOAT_EQ(p.m[2][2], 1.0f / 200.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], 0.5f);
    EXPECT_EQ(p.m[2][3], 0.0f);
    EXPECT_EQ(p.m[3][3], 1.0f);

    camera.SetPerspective(true);
    const XMatrix& q = camera.GetProjectionMatrix(0);
    EXPECT_FLOAT_EQ(q.m[0][0], 2.0f / camera.GetFOV());
    EXPECT_FLOAT_EQ(q.m[1][1], 2.0f / 1.33f);
    EXPECT_EQ(q.m[2][3], 1.0f);

    EXPECT_EQ(CameraDesc.GetClassNameW(), u"XCamera");
    EXPECT_EQ(CameraDesc.GetCategory(), 0x1010u);
    std::unique_ptr<XBaseObject> made(CameraDesc.Create());
    ASSERT_NE(dynamic_cast<XCamera*>(made.get()), nullptr);
    EXPECT_EQ(BaseCameraDesc.Create(), nullptr);
    EXPECT_EQ(BaseCameraDesc.GetClassNameW(), u"XBaseCamera");
    EXPECT_EQ(BaseCameraDesc.GetCategory(), 0x1010u);
}

TEST(XCameraTest, LensSettersClampAndInvalidateAsSpecified)
{
    struct Case
    {
        float in;
        float stored;
    };
    const Case fovs[] = {{5.0f, kPi},
                         {0.0f, 0.01f},
                         {-1.0f, 0.01f},
                         {1.0f, 1.0f},
                         {std::numeric_limits<float>::quiet_NaN(), 0.01f}};
    for (const Case& c : fovs)
    {
        ProbeCamera camera;
        camera.GetProjectionMatrix(2);
        camera.SetFOV(c.in);
        EXPECT_EQ(camera.GetFOV(), c.stored) << c.in;
        EXPECT_EQ(camera.ProjFrame(), XCamera::NoFrame);
    }
    EXPECT_EQ(Bits(kPi), 0x40490FDBu);

    ProbeCamera camera;
    camera.GetProjectionMatrix(2);
    camera.SetFOV(camera.GetFOV()); // unchanged, still invalidates
    EXPECT_EQ(camera.ProjFrame(), XCamera::NoFrame);
    camera.GetProjectionMatrix(2);
    camera.SetAspectRatio(1.33f); // unchanged: the cache stays
    EXPECT_EQ(camera.ProjFrame(), 2u);
    camera.SetAspectRatio(2.0f);
    EXPECT_EQ(camera.ProjFrame(), XCamera::NoFrame);
    camera.GetProjectionMatrix(2);
    camera.SetNearViewPlane(-5.0f); // no clamping
    EXPECT_EQ(camera.GetNearViewPlane(), -5.0f);
    EXPECT_EQ(camera.ProjFrame(), XCamera::NoFrame);

    // Fields reach the same setters.
    XPtrArray<XObjectField, 16> fields;
    camera.EnumerateFields(fields);
    ASSERT_EQ(fields.GetCount(), 5u);
    const char16_t* names[] = {u"FOV", u"NearViewPlane", u"FarViewPlane", u"AspectRatio", u"Perspective"};
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(fields[i]->GetName(), names[i]);
    EXPECT_EQ(fields[4]->GetTypeName(), u"bool");
    VarUtils::XVariant v;
    v = 9.0f;
    EXPECT_TRUE(fields[0]->SetValue(&camera, v));
    EXPECT_EQ(camera.GetFOV(), kPi);
    VarUtils::XVariant out;
    EXPECT_TRUE(fields[3]->GetValue(&camera, out));
    EXPECT_EQ(out.AsDouble(), 2.0);
}

TEST(XCameraTest, ViewMatrixIsComputedOncePerFrameAndAgainAfterEachChange)
{
    XMeshNode parent;
    XMeshNode target;
    ProbeCamera camera;
    camera.SetMatrix(Translation(1, 2, 3));

    const XMatrix& view = camera.GetViewMatrix(4);
    EXPECT_EQ(camera.ViewFrame(), 4u);
    EXPECT_LT(MaxDiff(view, Translation(-1, -2, -3)), 1e-6f);
    // GetPosition reads the view matrix's fourth row.
    ExpectVertex(camera.GetPosition(4), -1, -2, -3, 1e-6f);
    ExpectVertex(camera.GetDirection(4), 0, 0, -1, 1e-6f);
    EXPECT_LT(MaxDiff(camera.GetViewMatrixInverse(4), Translation(1, 2, 3)), 1e-6f);
    // Asked again in the same frame: the stored matrix, not a new computation.
    camera.MarkView(42.0f);
    EXPECT_EQ(camera.GetViewMatrix(4).m[0][1], 42.0f);
    EXPECT_EQ(camera.GetViewMatrix(5).m[0][1], 0.0f);
    camera.GetViewMatrix(4);

    struct Change
    {
        const char* what;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"SetTarget", [&] { camera.SetTarget(&target); }},
        {"CamRotate(a, b, c)", [&] { camera.CamRotate(0.1f, 0.2f, 0.3f); }},
        {"CamRotate(frame, matrix, angles)", [&] { camera.CamRotate(0, nullptr, XVertex(0.1f, 0, 0)); }},
        {"SetPosition", [&] { camera.SetPosition(0, 0, 9); }},
        {"parent moves",
         [&]
         {
             camera.SetParent(&parent);
             camera.GetViewMatrix(4);
             parent.SetPosition(0, 5, 0);
         }},
        {"Reset", [&] { camera.Reset(); }},
    };
    for (const Change& c : changes)
    {
        camera.GetViewMatrix(4);
        ASSERT_EQ(camera.ViewFrame(), 4u) << c.what;
        c.apply();
        EXPECT_EQ(camera.ViewFrame(), XCamera::NoFrame) << c.what;
        // Recomputed: the view is the inverse of the world matrix as it is now.
        XMatrix world;
        camera.GetMatrix(4, world);
        EXPECT_LT(MaxDiff(camera.GetViewMatrix(4) * world, XMatrix(1.0f)), 1e-5f) << c.what;
    }
    // Another frame recomputes too.
    camera.GetViewMatrix(5);
    EXPECT_EQ(camera.ViewFrame(), 5u);
    camera.SetParent(nullptr);
}

TEST(XCameraTest, CamRotateFormsComposeOnOppositeSides)
{
    XCamera first;
    first.SetMatrix(Translation(1, 0, 0));
    first.CamRotate(0.0f, 0.5f, 0.0f); // rotation(0.5, 0, 0) applied before the placement
    XMatrix r;
    r.SetRotation(0.5f, 0, 0);
    EXPECT_LT(MaxDiff(Local(first), r * Translation(1, 0, 0)), 1e-6f);
    ExpectVertex(first.XMeshNode::GetPosition(), 1, 0, 0);

    XCamera second;
    second.SetMatrix(Translation(1, 0, 0));
    second.CamRotate(7, nullptr, XVertex(0, 0, 1.57079637f)); // after it: the translation turns
    XMatrix rz;
    rz.SetRotation(0, 0, 1.57079637f);
    ExpectVertex(second.XMeshNode::GetPosition(), Apply(rz, XVertex(1, 0, 0)), 1e-6f);
}

TEST(XCameraTest, ProjectionInverseFollowsTheProjectionOfTheFrameAsked)
{
    XCamera camera;
    camera.GetProjectionMatrix(0);
    camera.GetProjectionMatrixInverse(0);
    camera.SetPerspective(true);
    camera.SetFOV(1.0f);
    // Asked without the projection first: it is brought up to date before it is inverted.
    const XMatrix inverse = camera.GetProjectionMatrixInverse(0);
    EXPECT_LT(MaxDiff(camera.GetProjectionMatrix(0) * inverse, XMatrix(1.0f)), 1e-5f);
    const XMatrix other = camera.GetProjectionMatrixInverse(3);
    EXPECT_LT(MaxDiff(camera.GetProjectionMatrix(3) * other, XMatrix(1.0f)), 1e-5f);
}

TEST(XCameraTest, DeletingOrReleasingTheTargetClearsIt)
{
    XCamera camera;
    {
        XMeshNode target;
        camera.SetTarget(&target);
        EXPECT_EQ(camera.GetTarget(), &target);
    }
    EXPECT_EQ(camera.GetTarget(), nullptr);

    XMeshNode other;
    camera.SetTarget(&other);
    camera.Notification(&other, XRM_RELEASED, 0);
    EXPECT_EQ(camera.GetTarget(), nullptr);
    camera.SetTarget(&other);
    camera.Notification(&other, XRM_MATERIAL_CHANGED, 0);
    EXPECT_EQ(camera.GetTarget(), &other);

    // A camera that goes first lets go of its target.
    auto doomed = std::make_unique<XCamera>();
    doomed->SetTarget(&other);
    doomed.reset();
}

TEST(XCameraTest, ChunksRoundTripByteForByte)
{
    XCamera saved;
    saved.SetPosition(1, 2, 3);
    saved.SetFOV(1.25f);
    saved.SetNearViewPlane(0.5f);
    saved.SetFarViewPlane(300.0f);
    saved.SetAspectRatio(1.5f);
    saved.SetPerspective(true);
    auto bytes = SavedBytes([&](XWriter& w) { saved.Save(nullptr, w); });

    XCamera loaded;
    Load(loaded, bytes);
    EXPECT_EQ(loaded.GetFOV(), 1.25f);
    EXPECT_EQ(loaded.GetNearViewPlane(), 0.5f);
    EXPECT_EQ(loaded.GetFarViewPlane(), 300.0f);
    EXPECT_EQ(loaded.GetAspectRatio(), 1.5f);
    EXPECT_TRUE(loaded.GetPerspective());
    EXPECT_EQ(SavedBytes([&](XWriter& w) { loaded.Save(nullptr, w); }), bytes);

    // A loaded 0 is clamped; absent values are the defaults, whatever the camera had.
    Load(loaded, CameraChunk([](XWriter& w) { w.WriteChunkFloat(XCamera::FOVChunk, 0.0f); }));
    EXPECT_EQ(loaded.GetFOV(), 0.01f);
    EXPECT_EQ(loaded.GetAspectRatio(), 1.33f);
    EXPECT_FALSE(loaded.GetPerspective());
    EXPECT_EQ(loaded.GetFarViewPlane(), 100.0f);

    // Every cut ends cleanly.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        XCamera target;
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        try
        {
            Load(target, part);
        }
        catch (const XException&)
        {
        }
    }
}

TEST(XCameraTest, IconDrawsInOtherViewportsAndFollowsTheLens)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    XCamera camera;
    camera.SetColor(0xFF112233u);

    d3d.device->SetRenderState(D3DRS_LIGHTING, TRUE);
    d3d.Clear();
    d3d.device->BeginScene();
    camera.Render(0, &viewport, 0x4);
    d3d.device->EndScene();
    std::vector<std::string> texts = d3d.Texts();
    ASSERT_GE(texts.size(), 10u);
    EXPECT_EQ(texts[2], "SetStreamSource(0, null, 0, 16)");
    EXPECT_EQ(texts[3], "SetFVF(66)");
    EXPECT_EQ(texts[4], "GetRenderState(137)");
    EXPECT_EQ(texts[5], "SetRenderState(137, 0)");
    EXPECT_EQ(texts[6], "DrawPrimitiveUP(2, 20, 16)");
    EXPECT_EQ(texts[7], "SetRenderState(154, " + std::to_string(FloatToDWord(3.0f)) + ")");
    EXPECT_EQ(texts[9], "DrawPrimitiveUP(1, 13, 16)");
    EXPECT_EQ(texts[10], "SetRenderState(137, 1)");
    uint32_t color;
    std::memcpy(&color, d3d.Log()[6].vertices.data() + 12, 4);
    EXPECT_EQ(color, 0xFF112233u);

    // The viewport that looks through the camera draws nothing of it.
    viewport.camera = &camera;
    d3d.Clear();
    camera.Render(0, &viewport, 0);
    EXPECT_TRUE(d3d.Texts().empty());

    // The lens end follows the field of view and aspect ratio, also back through Reset.
    const auto lensZ = [&] { return camera.GetMeshBoundingBox(0).max.z; };
    const auto lensY = [&] { return camera.GetMeshBoundingBox(0).max.y; };
    const float defaultZ = lensZ();
    EXPECT_FLOAT_EQ(defaultZ, std::cos(camera.GetFOV() * 0.5f) * 0.5f + 0.2f);
    camera.SetFOV(3.0f);
    EXPECT_FLOAT_EQ(lensZ(), std::cos(1.5f) * 0.5f + 0.2f);
    camera.SetAspectRatio(0.5f);
    EXPECT_FLOAT_EQ(lensY(), std::sin(1.5f) * 0.5f / 0.5f);
    camera.Reset();
    EXPECT_FLOAT_EQ(lensZ(), defaultZ);

    // Picked by the icon's box.
    viewport.camera = nullptr;
    viewport.SetCameraWorld(Translation(0, 0, -5));
    float distance = 0;
    EXPECT_TRUE(camera.IntersectRay(0, &viewport, XPoint(320, 240), distance, 0));
    EXPECT_NEAR(distance, 4.8f, 1e-4f);
    EXPECT_FALSE(camera.HitTest(0, &viewport, XPoint(0, 0), 0));
    // An orthographic view from behind its plane draws it in front: 5.2, and 1 to the rays' start.
    viewport.SetOrthographic(8, 6, -100, 100);
    viewport.SetCameraWorld(Translation(0, 0, 5));
    EXPECT_TRUE(camera.IntersectRay(0, &viewport, XPoint(320, 240), distance, 0));
    EXPECT_NEAR(distance, -6.2f, 1e-4f);
}
