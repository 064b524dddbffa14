#include "Engine/Views/XViewport.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XGrid.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Platform/Vcl/IniFiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr float HalfPi = 1.57079637f;

bool ValidMode(uint32_t mode)
{
    return mode >= 1 && mode <= 3;
}

// A size read as a double must also fit the float it is kept in.
bool ValidPointSize(double size)
{
    return std::isfinite(size) && size >= 0 && size <= std::numeric_limits<float>::max();
}
} // namespace

XViewport::XViewport(TComponent* owner, XView* view) : TGraphicControl(owner), m_View(view)
{
    m_Grid = new XGrid;
    m_Grid->SetGridParams(40, 40, 40.0f, 40.0f);
    m_OwnCamera = new XCamera;
    m_Camera = m_OwnCamera;
    m_CameraWatcher.SetOnNotify(XNotifyEvent::Bind<&XViewport::OnCameraNotify>(this));
    m_CameraWatcher.SetTarget(m_Camera);
    SetPlaneAxis(XAXIS_XZ);
}

XViewport::~XViewport()
{
    m_CameraWatcher.SetTarget(nullptr);
    delete m_Grid;
    delete m_OwnCamera;
}

IDirect3DDevice9* XViewport::GetDevice()
{
    return m_View ? m_View->GetDevice() : nullptr;
}

XCamera* XViewport::GetCamera()
{
    return m_Camera;
}

void XViewport::SetCamera(XCamera* camera)
{
    XCamera* next = camera ? camera : m_OwnCamera;
    if (next == m_Camera)
        return;
    m_Camera = next;
    m_CameraWatcher.SetTarget(next);
}

void XViewport::OnCameraNotify(XRefManager* target, unsigned message, uintptr_t)
{
    if (target == m_Camera && (message == 1 || message == 2))
        SetCamera(nullptr);
}

void XViewport::ResetCamera()
{
    m_Camera->SetWorldMatrix(0, XMatrix(1.0f));
}

XMatrix XViewport::GetViewMatrix(unsigned frame)
{
    return m_Camera->GetViewMatrix(frame);
}

XMatrix XViewport::GetProjectionMatrix(unsigned frame)
{
    return m_Camera->GetProjectionMatrix(frame);
}

XVertex XViewport::ScreenToCamera(unsigned frame, const XPoint& p)
{
    return XScreenMapping::ScreenToCamera(GetProjectionMatrix(frame), GetClientWidth(), GetClientHeight(), p);
}

void XViewport::GetPickRay(unsigned frame, const XPoint& p, XVertex& origin, XVertex& direction, const XMatrix& world)
{
    XScreenMapping::PickRay(world, GetViewMatrix(frame), m_Camera->GetPerspective(), ScreenToCamera(frame, p), origin,
                            direction);
}

XVertex XViewport::GetRayOrigin(unsigned frame, const XVertex& p, XVertex& out)
{
    out = XScreenMapping::RayOrigin(m_Camera->GetViewMatrixInverse(frame), m_Camera->GetPerspective(),
                                    ScreenToCamera(frame, XPoint(p.x, p.y)));
    return out;
}

unsigned XViewport::GetPlaneAxis()
{
    return m_PlaneAxis;
}

void XViewport::SetPlaneAxis(unsigned axis)
{
    if (axis != m_PlaneAxis && XScreenMapping::GridMatrix(axis, m_GridMatrix))
        m_PlaneAxis = axis;
}

XMatrix XViewport::GetGridMatrix()
{
    return m_GridMatrix;
}

XVertex XViewport::ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis)
{
    return ScreenToPlane(frame, p, axis, XMatrix(1.0f));
}

XVertex XViewport::ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis, const XMatrix& world)
{
    if (axis == 0)
        return XVertex(0, 0, 0);
    XVertex origin, direction;
    GetPickRay(frame, p, origin, direction, world);
    return XScreenMapping::PlaneHit(origin, direction, axis);
}

bool XViewport::GetLighting()
{
    return m_Lighting;
}

uint32_t XViewport::GetFillMode()
{
    return m_FillMode;
}

float XViewport::GetPointSize()
{
    return m_PointSize;
}

int XViewport::GetClientWidth()
{
    return std::max(0, ClientRect().Width());
}

int XViewport::GetClientHeight()
{
    return std::max(0, ClientRect().Height());
}

XPoint XViewport::PicturePoint(int x, int y) const
{
    const TRect c = ClientRect();
    return XPoint(static_cast<float>(x - c.left), static_cast<float>(y - c.top));
}

StrUtils::XBaseString<WCHAR> XViewport::GetCaption()
{
    return StrUtils::XBaseString<WCHAR>(Caption());
}

void XViewport::SetCaption(const StrUtils::XBaseString<WCHAR>& caption)
{
    TGraphicControl::SetCaption(UnicodeString(caption.c_str()));
}

void XViewport::CreateDevice(IDirect3DDevice9* device)
{
    m_Device = device;
    m_Renderer.CreateDevice(device);
}

void XViewport::ReleaseDevice(IDirect3DDevice9* device)
{
    m_Device = nullptr;
    m_Renderer.ReleaseDevice(device);
}

void XViewport::InvalidateDevice(IDirect3DDevice9* device)
{
    m_Device = nullptr;
    m_Renderer.InvalidateDevice(device);
}

void XViewport::RestoreDevice(IDirect3DDevice9* device)
{
    m_Device = device;
    m_Renderer.RestoreDevice(device);
}

TRect XViewport::ClientRect() const
{
    int b = m_View ? m_View->GetViewportBorderWidth() : 0;
    return TRect(b, b, Width() - b, Height() - b);
}

void XViewport::Resize()
{
    TGraphicControl::Resize();
    // A zero side would make the aspect ratio infinite or not a number, and it is saved.
    if (Width() > 0 && Height() > 0)
        m_Camera->SetAspectRatio(static_cast<float>(Width()) / static_cast<float>(Height()));
}

void XViewport::Paint()
{
    if (!m_View)
        return;
    int b = m_View->GetViewportBorderWidth();
    bool active = m_View->GetActiveViewport() == this;
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(active ? m_View->GetActiveViewportBorderColor() : m_View->GetViewportBorderColor());
    int w = Width(), h = Height();
    for (const TRect& r : {TRect(0, 0, w, b), TRect(0, h - b, w, h), TRect(0, b, b, h - b), TRect(w - b, b, w, h - b)})
        canvas->FillRect(r);
    if (ComponentState().Contains(csDesigning))
    {
        canvas->Brush()->SetColor(static_cast<TColor>(m_BackColor.ToColorRef()));
        canvas->FillRect(ClientRect());
    }
}

TPoint XViewport::GetViewOrigin()
{
    const TRect client = ClientRect();
    for (const TControl* c = Parent(); c && m_View; c = c->Parent())
    {
        if (c == m_View)
            return ClientToParent(TPoint(client.left, client.top), m_View);
    }
    return TPoint(Left() + client.left, Top() + client.top);
}

TPoint XViewport::ViewOrigin() const
{
    TPoint origin(Left(), Top());
    for (const TControl* c = Parent(); c && c != m_View; c = c->Parent())
    {
        origin.x += c->Left();
        origin.y += c->Top();
    }
    return origin;
}

float XViewport::GridScale(float p)
{
    if (p > 50)
        return 0.002f;
    if (p > 25)
        return 0.004f;
    if (p > 10)
        return 0.01f;
    if (p > 5)
        return 0.02f;
    if (p > 2.5f)
        return 0.04f;
    if (p > 1)
        return 0.1f;
    if (p > 0.5f)
        return 0.2f;
    if (p > 0.25f)
        return 0.4f;
    if (p > 0.1f)
        return 1;
    if (p > 0.05f)
        return 2;
    if (p > 0.025f)
        return 4;
    return 10;
}

StrUtils::XBaseString<WCHAR> XViewport::GridLabel(float scale)
{
    if (scale >= 1)
        return StrUtils::XBaseString<WCHAR>(UnicodeString(u" (") + FloatToStrF(scale, ffFixed, 5, 1) + u" : 1)");
    return StrUtils::XBaseString<WCHAR>(UnicodeString(u" (1 : ") + FloatToStrF(1.0f / scale, ffFixed, 5, 1) + u")");
}

StrUtils::XBaseString<WCHAR> XViewport::CaptionText(unsigned frame)
{
    StrUtils::XBaseString<WCHAR> text = m_Camera == m_OwnCamera ? GetCaption()
                                                                  : StrUtils::XBaseString<WCHAR>(u"Камера: ") +
                                                                        m_Camera->GetName();
    if (m_ShowGrid)
        text += GridLabel(GridScale(GetProjectionMatrix(frame).m[0][0]));
    return text;
}

void XViewport::Render(XScene* scene, bool present)
{
    IDirect3DDevice9* device = GetDevice();
    if (!scene || !device)
        return;
    unsigned frame = scene->GetFrame();
    TPoint origin = ViewOrigin();
    TRect c = ClientRect();
    D3DVIEWPORT9 viewport{static_cast<DWORD>(origin.x + c.left), static_cast<DWORD>(origin.y + c.top),
                          static_cast<DWORD>(std::max(0, c.Width())), static_cast<DWORD>(std::max(0, c.Height())),
                          0.0f, 1.0f};
    device->SetViewport(&viewport);
    RECT r{origin.x + c.left, origin.y + c.top, origin.x + c.right, origin.y + c.bottom};
    device->Clear(1, reinterpret_cast<const D3DRECT*>(&r), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, m_BackColor.GetARGB(),
                  1.0f, 0);
    device->BeginScene();
    XMatrix projection = GetProjectionMatrix(frame);
    XMatrix view = GetViewMatrix(frame);
    device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&projection));
    device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&view));
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, m_CullMode);
    device->SetRenderState(D3DRS_SHADEMODE, m_ShadeMode);
    device->SetRenderState(D3DRS_LIGHTING, m_Lighting ? TRUE : FALSE);
    device->SetRenderState(D3DRS_AMBIENT, m_Ambient.GetARGB());
    if (m_Lighting)
    {
        // The head light looks along the camera's viewing axis.
        const XMatrix& world = m_Camera->GetViewMatrixInverse(frame);
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 1};
        light.Direction = {world.m[2][0], world.m[2][1], world.m[2][2]};
        light.Range = std::sqrt(3.4e38f);
        light.Falloff = 1.0f;
        light.Attenuation0 = 0.001f;
        light.Attenuation1 = 0.001f;
        device->LightEnable(0, TRUE);
        device->SetLight(0, &light);
    }
    scene->Render(this);
    m_Renderer.SetLighting(false);
    StrUtils::XBaseString<WCHAR> label;
    if (m_ShowGrid)
    {
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        float scale = GridScale(projection.m[0][0]);
        XMatrix grid = m_GridMatrix;
        grid.Scale(scale, scale, scale);
        m_Grid->RenderShape(0, this, &grid, GridColor, 0);
    }
    if (m_View && m_View->ShowViewportCaption)
        m_View->RenderText(static_cast<float>(origin.x + 3), static_cast<float>(origin.y + 3),
                           XColor::FromColorRef(static_cast<uint32_t>(m_View->ViewportCaptionColor)).GetARGB(),
                           CaptionText(frame).c_str());
    device->EndScene();
    if (present)
        device->Present(&r, &r, nullptr, nullptr);
}

void XViewport::SetLeftView()
{
    XMatrix world(1.0f);
    world.SetRotation(0, HalfPi, 0);
    m_Camera->SetWorldMatrix(0, world);
    SetPlaneAxis(XAXIS_YZ);
    SetCaption(u"Слева - YZ");
}

void XViewport::SetFrontView()
{
    m_Camera->SetWorldMatrix(0, XMatrix(1.0f));
    ResetCamera();
    SetPlaneAxis(XAXIS_XY);
    SetCaption(u"Спереди - XY");
}

void XViewport::SetTopView()
{
    XMatrix world(1.0f);
    world.SetRotation(HalfPi, 0, 0);
    m_Camera->SetWorldMatrix(0, world);
    SetPlaneAxis(XAXIS_XZ);
    SetCaption(u"Сверху - XZ");
}

void XViewport::Save(XScene* scene, XWriter& writer)
{
    writer.BeginChunk(ViewportChunk);
    writer.BeginChunk(CameraChunk);
    m_OwnCamera->Save(scene, writer);
    writer.EndChunk();
    writer.WriteChunkU8(ShowGridChunk, m_ShowGrid ? 1 : 0);
    writer.WriteChunkU32(PlaneAxisChunk, m_PlaneAxis);
    writer.WriteChunkU32(BackColorChunk, m_BackColor.GetARGB());
    writer.WriteChunkU32(FillModeChunk, m_FillMode);
    writer.WriteChunkU32(ShadeModeChunk, m_ShadeMode);
    writer.WriteChunkU32(CullModeChunk, m_CullMode);
    writer.WriteChunkU8(LightingChunk, m_Lighting ? 1 : 0);
    writer.WriteChunkU8(NormalizeNormalsChunk, m_NormalizeNormals ? 1 : 0);
    writer.WriteChunkFloat(PointSizeChunk, m_PointSize);
    writer.EndChunk();
}

void XViewport::LoadOption(XReader& reader, uint32_t id)
{
    auto byte = [&]
    {
        uint8_t value = 0;
        reader.ReadU8(value);
        return value != 0;
    };
    auto word = [&]
    {
        uint32_t value = 0;
        reader.ReadU32(value);
        return value;
    };
    switch (id)
    {
    case ShowGridChunk:
        SetShowGrid(byte());
        break;
    case PlaneAxisChunk:
        SetPlaneAxis(word());
        break;
    case BackColorChunk:
        SetBackColor(XColor(word()));
        break;
    case FillModeChunk:
    case ShadeModeChunk:
    case CullModeChunk:
    {
        uint32_t mode = word();
        if (!ValidMode(mode))
            break;
        (id == FillModeChunk ? m_FillMode : id == ShadeModeChunk ? m_ShadeMode : m_CullMode) = mode;
        break;
    }
    case LightingChunk:
        m_Lighting = byte();
        break;
    case NormalizeNormalsChunk:
        m_NormalizeNormals = byte();
        break;
    case PointSizeChunk:
    {
        float size = 0;
        reader.ReadFloat(size);
        if (ValidPointSize(size))
            m_PointSize = size;
        break;
    }
    default:
        break;
    }
}

void XViewport::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ViewportChunk)
        return;
    while (reader.NextChunk())
    {
        uint32_t id = reader.GetChunkId();
        if (id == CameraChunk)
        {
            while (reader.NextChunk())
            {
                m_OwnCamera->Load(scene, reader);
                reader.EndChunk();
            }
        }
        else
        {
            // A value cut short by its chunk is the reader's error, not bytes of the next chunk.
            uint64_t need = id == ShowGridChunk || id == LightingChunk || id == NormalizeNormalsChunk ? 1 : 4;
            if (id >= ShowGridChunk && id <= PointSizeChunk && reader.GetBytesLeft() < need)
                throw FileUtils::XIOError();
            LoadOption(reader, id);
        }
        reader.EndChunk();
    }
}

void XViewport::SaveState(TCustomIniFile* ini, const UnicodeString& section)
{
    ini->WriteInteger(section, u"Lighting", m_Lighting ? 1 : 0);
    ini->WriteInteger(section, u"NormalizeNormals", m_NormalizeNormals ? 1 : 0);
    ini->WriteInteger(section, u"Ambient", static_cast<int>(m_Ambient.ToColorRef()));
    ini->WriteInteger(section, u"CullMode", static_cast<int>(m_CullMode));
    ini->WriteFloat(section, u"PointSize", m_PointSize);
    ini->WriteInteger(section, u"ShadeMode", static_cast<int>(m_ShadeMode));
    ini->WriteInteger(section, u"ShowGrid", m_ShowGrid ? 1 : 0);
    ini->WriteInteger(section, u"BackColor", static_cast<int>(m_BackColor.ToColorRef()));
    ini->WriteInteger(section, u"FillMode", static_cast<int>(m_FillMode));
}

void XViewport::LoadState(TCustomIniFile* ini, const UnicodeString& section)
{
    m_Lighting = ini->ReadInteger(section, u"Lighting", m_Lighting ? 1 : 0) != 0;
    m_NormalizeNormals = ini->ReadInteger(section, u"NormalizeNormals", m_NormalizeNormals ? 1 : 0) != 0;
    m_Ambient = XColor::FromColorRef(static_cast<uint32_t>(
        ini->ReadInteger(section, u"Ambient", static_cast<int>(m_Ambient.ToColorRef()))));
    auto mode = [&](const WCHAR* key, uint32_t& field)
    {
        int value = ini->ReadInteger(section, key, static_cast<int>(field));
        if (ValidMode(static_cast<uint32_t>(value)))
            field = static_cast<uint32_t>(value);
    };
    mode(u"CullMode", m_CullMode);
    double size = ini->ReadFloat(section, u"PointSize", m_PointSize);
    if (ValidPointSize(size))
        m_PointSize = static_cast<float>(size);
    mode(u"ShadeMode", m_ShadeMode);
    SetShowGrid(ini->ReadInteger(section, u"ShowGrid", m_ShowGrid ? 1 : 0) != 0);
    SetBackColor(XColor::FromColorRef(static_cast<uint32_t>(
        ini->ReadInteger(section, u"BackColor", static_cast<int>(m_BackColor.ToColorRef())))));
    mode(u"FillMode", m_FillMode);
}

void PickVertices(XViewport* viewport, const XVertex* vertices, uint32_t count, const XRect& rect,
                  XArray<unsigned>& picked, XPickType type)
{
    float grow = type == XPT_CLICK ? 2.0f : 0.0f;
    XVertex a = viewport->ScreenToCamera(0, XPoint(rect.left - grow, rect.top - grow));
    XVertex b = viewport->ScreenToCamera(0, XPoint(rect.right + grow, rect.bottom + grow));
    float minX = std::min(a.x, b.x), maxX = std::max(a.x, b.x);
    float minY = std::min(a.y, b.y), maxY = std::max(a.y, b.y);
    bool perspective = XScreenMapping::IsPerspective(viewport->GetProjectionMatrix(0));
    for (uint32_t i = 0; i < count; ++i)
    {
        float x = vertices[i].x, y = vertices[i].y;
        if (perspective)
        {
            // Compared where they meet the depth-1 plane; nothing at or behind the eye.
            if (!(vertices[i].z > 0))
                continue;
            x /= vertices[i].z;
            y /= vertices[i].z;
        }
        if (x >= minX && x <= maxX && y >= minY && y <= maxY)
            picked.Add(i);
    }
}

void PickVertices(XViewport* viewport, const XArray<XVertex>& vertices, const XRect& rect, XArray<unsigned>& picked,
                  XPickType type)
{
    PickVertices(viewport, vertices.GetData(), vertices.GetCount(), rect, picked, type);
}
