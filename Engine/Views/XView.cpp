#include "Engine/Views/XView.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "DirectX/D3dUtils.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XViewLayout.h"
#include "Engine/Views/XViewport.h"
#include "Engine/Views/XViewportInput.h"
#include "Platform/Vcl/IniFiles.h"

void XViewportContainer::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_ERASEBKGND)
    {
        Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}

XView::XView(TComponent* AOwner) : XBaseView(AOwner)
{
    TControlStyle style = ControlStyle();
    style << csCaptureMouse << csClickEvents << csDoubleClicks;
    SetControlStyle(style);
    for (XViewport*& v : m_V)
        v = new XViewport(this, this);
    for (TSplitter*& sp : m_SP)
        sp = new TSplitter(this);
    for (XViewportContainer*& c : m_C)
        c = new XViewportContainer(this);
    TControl* children[10] = {m_C[0], m_C[1], m_V[0], m_V[1], m_V[2], m_V[3], m_SP[0], m_SP[1], m_SP[2], m_SP[3]};
    for (TControl* c : children)
    {
        c->Hide();
        c->SetAlign(alNone);
        c->SetParent(this);
    }
    for (TSplitter* sp : m_SP)
        sp->OnMoved = MakeClosure(this, &XView::OnSplitterMoved);
    TControl* viewports[4] = {m_V[0], m_V[1], m_V[2], m_V[3]};
    m_Layout = std::make_unique<XViewLayout>(this, m_C[0], m_C[1], viewports, m_SP);
    m_Layout->SetTracking(true);
    OnSplitterMoved(nullptr);
    m_Layout->SetSplitterWidth(3);
    m_ActiveViewport = m_V[0];
    m_Timer = new TTimer(this);
    m_Timer->SetEnabled(false);
    m_Timer->SetInterval(DefaultTimerInterval);
    m_Timer->OnTimer = MakeClosure(this, &XView::OnTimer);
    ResetViewports();
}

XView::~XView()
{
    HideScenes();
    FreeChildren();
}

void XView::BeforeDestruction()
{
    HideScenes();
    FreeChildren();
    XBaseView::BeforeDestruction();
}

void XView::HideScenes()
{
    // Each scene shown here releases its objects' device resources while the device stands, and
    // no scene is left pointing at a view that is gone.
    XScenes listed = m_Scenes;
    for (uint32_t i = 0; i < listed.GetCount(); ++i)
    {
        XScene* scene = listed[i];
        if (m_Scenes.IndexOf(scene) >= 0 && scene->GetView() == this)
            scene->SetView(nullptr);
    }
    for (uint32_t i = 0; i < m_Scenes.GetCount(); ++i)
        m_Scenes[i]->RemoveFreeNotification(this);
    m_Scenes.Clear();
    m_Scene = nullptr;
}

void XView::FreeChildren()
{
    if (m_Timer)
    {
        m_Timer->SetEnabled(false);
        delete m_Timer;
        m_Timer = nullptr;
    }
    m_ActiveViewport = nullptr;
    m_Layout.reset();
    for (XViewport*& v : m_V)
    {
        delete v;
        v = nullptr;
    }
    for (TSplitter*& sp : m_SP)
    {
        delete sp;
        sp = nullptr;
    }
    for (XViewportContainer*& c : m_C)
    {
        delete c;
        c = nullptr;
    }
}

// ---- Scenes ----------------------------------------------------------------------------------

int XView::AddScene(XScene* scene)
{
    if (!scene)
        return -1;
    int index = m_Scenes.IndexOf(scene);
    if (index >= 0)
        return index;
    index = static_cast<int>(m_Scenes.Add(scene));
    scene->FreeNotification(this);
    scene->SetTransformType(m_LastNavigation);
    return index;
}

int XView::DeleteScene(XScene* scene)
{
    int index = Unlist(scene);
    // The free notification that told the scene of this view's end is gone with the entry: a
    // scene shown here leaves the view now rather than keep a view that may go unannounced.
    if (index >= 0 && scene->GetView() == this)
        scene->LeaveView(this);
    return index;
}

int XView::Unlist(XScene* scene)
{
    int index = scene ? m_Scenes.IndexOf(scene) : -1;
    if (index < 0)
        return -1;
    if (m_Scene == scene)
        m_Scene = nullptr;
    m_Scenes.Delete(static_cast<uint32_t>(index));
    scene->RemoveFreeNotification(this);
    return index;
}

void XView::SetScene(XScene* scene)
{
    if (scene == m_Scene)
        return;
    m_Scene = scene;
    if (!scene)
        return;
    AddScene(scene);
    if (m_Primary)
        scene->SetView(this);
}

void XView::SetPrimary(bool primary)
{
    if (primary == m_Primary)
        return;
    m_Primary = primary;
    if (!m_Scene)
        return;
    if (primary)
        m_Scene->SetView(this);
    else if (m_Scene->GetView() == this)
        m_Scene->SetView(nullptr);
}

void XView::Notification(TComponent* AComponent, TOperation Operation)
{
    // Any listed scene being freed leaves the list, not only the current one: no entry outlives
    // its scene.
    if (Operation == opRemove && AComponent)
    {
        for (uint32_t i = 0; i < m_Scenes.GetCount(); ++i)
        {
            XScene* scene = m_Scenes[i];
            if (static_cast<TComponent*>(scene) == AComponent)
            {
                // The scene is being destroyed: nothing is asked of it.
                Unlist(scene);
                break;
            }
        }
    }
    XBaseView::Notification(AComponent, Operation);
}

// ---- Layout ----------------------------------------------------------------------------------

void XView::CreateWnd()
{
    XBaseView::CreateWnd();
    if (m_Layout)
        SetViewportLayout(m_Layout->Layout());
}

int XView::GetViewportLayout() const
{
    return m_Layout ? m_Layout->Layout() : XViewLayout::Grid;
}

void XView::SetViewportLayout(int layout)
{
    if (m_Layout)
        m_Layout->Apply(layout);
}

void XView::OnSplitterMoved(TObject* Sender)
{
    if (m_Layout)
        m_Layout->SplitterMoved(Sender);
    // A dragged splitter has just moved the viewports: drawn now, none shows the pixels of its
    // old place. The render timer cannot be relied on meanwhile, as pointer motion comes first.
    if (Sender && m_Scene)
        RenderScene(true);
}

void XView::Resize()
{
    if (m_Layout)
        m_Layout->Resize();
    XBaseView::Resize();
}

// ---- Drawing ---------------------------------------------------------------------------------

void XView::RenderScene(bool present)
{
    // A failing frame is dropped without a word: the next tick tries again, and a lost device
    // recovers through RenderStart.
    DrawFrame(present);
}

HRESULT XView::DrawFrame(bool present)
{
    try
    {
        IDirect3DDevice9* device = GetDevice();
        if (!RenderStart())
            return D3DERR_DEVICELOST; // not drawn until the device can be reset
        // A presented frame shows only the viewports' pictures; a capture reads the whole buffer.
        if (!present)
            ClearBackBuffer(device);
        for (XViewport* v : m_V)
        {
            if (v && v->Visible())
                v->Render(m_Scene, present);
        }
        RenderFinish();
        // A device made anew on the way is not the one the capture reads.
        return GetDevice() == device ? D3D_OK : D3DERR_DEVICELOST;
    }
    catch (...)
    {
        return E_FAIL;
    }
}

void XView::ClearBackBuffer(IDirect3DDevice9* device)
{
    // Each viewport clears only its own picture: one that stood elsewhere (during a splitter drag,
    // in another layout) would otherwise stay on in the gaps between them.
    IDirect3DSurface9* target = nullptr;
    CheckD3D(device->GetRenderTarget(0, &target));
    D3DSURFACE_DESC desc{};
    const HRESULT described = target->GetDesc(&desc);
    target->Release();
    CheckD3D(described);
    D3DVIEWPORT9 all{0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    CheckD3D(device->SetViewport(&all));
    CheckD3D(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0));
}

// ---- Capture ---------------------------------------------------------------------------------

XCaptureSource XView::CaptureSource()
{
    return XCaptureSource{GetDevice(), [this] { return DrawFrame(false); }};
}

void XView::CaptureBitmap(void** data, unsigned& width, unsigned& height, D3DFORMAT& format)
{
    XViewCapture::CaptureBitmap(CaptureSource(), data, width, height, format);
}

void XView::CaptureBitmap(XStream* stream, XColorFormat format)
{
    XViewCapture::CaptureBitmap(CaptureSource(), stream, format);
}

void XView::CaptureBitmap(const XString& path, XColorFormat format)
{
    XViewCapture::CaptureBitmap(CaptureSource(), path, format);
}

void XView::CaptureImage(XStream* stream, XBitmapSourceType type)
{
    XViewCapture::CaptureImage(CaptureSource(), stream, type);
}

void XView::CaptureImage(const XString& path)
{
    XViewCapture::CaptureImage(CaptureSource(), path);
}

void XView::OnTimer(TObject*)
{
    if (ComponentState().Contains(csDesigning))
        return;
    RenderScene(true);
}

bool XView::GetTimerEnabled() const
{
    return m_Timer && m_Timer->Enabled();
}

void XView::SetTimerEnabled(bool enabled)
{
    if (m_Timer)
        m_Timer->SetEnabled(enabled);
}

unsigned XView::GetTimerInterval() const
{
    return m_Timer ? m_Timer->Interval() : 0;
}

void XView::SetTimerInterval(unsigned interval)
{
    if (m_Timer)
        m_Timer->SetInterval(interval);
}

// ---- Viewports -------------------------------------------------------------------------------

void XView::SetActiveViewport(XViewport* viewport)
{
    if (!viewport || viewport == m_ActiveViewport)
        return;
    if (viewport != m_V[0] && viewport != m_V[1] && viewport != m_V[2] && viewport != m_V[3])
        return;
    XViewport* old = m_ActiveViewport;
    DoViewportLeave(old);
    m_ActiveViewport = viewport;
    DoViewportEnter(viewport);
    // The frames are painted by the viewports: both change colour.
    Invalidate();
    if (old)
        old->Invalidate();
    viewport->Invalidate();
}

void XView::DoViewportEnter(XViewport* viewport)
{
    OnViewportEnter(this, viewport);
}

void XView::DoViewportLeave(XViewport* viewport)
{
    OnViewportLeave(this, viewport);
}

void XView::SetTransformType(XTransformType type)
{
    m_TransformType = type;
    if (type > XTT_SCALE)
        return;
    m_LastNavigation = type;
    for (uint32_t i = 0; i < m_Scenes.GetCount(); ++i)
        m_Scenes[i]->SetTransformType(type);
}

void XView::ResetViewports()
{
    if (!m_V[0])
        return;
    m_V[0]->SetTopView();
    m_V[1]->SetFrontView();
    m_V[2]->SetLeftView();
    m_V[3]->SetTopView();
}

// ---- Keys ------------------------------------------------------------------------------------

void XView::KeyDown(WORD& Key, TShiftState Shift)
{
    XBaseView::KeyDown(Key, Shift);
    if (!m_Scene)
        return;
    unsigned key = Key; // the scene works on its own copy
    m_Scene->KeyDown(key, ToGxShiftState(Shift));
}

void XView::KeyUp(WORD& Key, TShiftState Shift)
{
    XBaseView::KeyUp(Key, Shift);
    if (!m_Scene)
        return;
    unsigned key = Key;
    m_Scene->KeyUp(key, ToGxShiftState(Shift));
}

void XView::KeyPress(WCHAR& Key)
{
    XBaseView::KeyPress(Key);
    if (!m_Scene)
        return;
    WCHAR key = Key;
    m_Scene->KeyPress(key);
}

// ---- Device events ---------------------------------------------------------------------------

void XView::SendDeviceEvent(DeviceEvent event)
{
    IDirect3DDevice9* device = GetDevice();
    if (m_Primary)
    {
        // Last attached first; the count is read again each step, as a handler may detach.
        for (uint32_t i = m_Scenes.GetCount(); i-- > 0;)
        {
            if (i >= m_Scenes.GetCount())
                continue;
            XScene* scene = m_Scenes[i];
            switch (event)
            {
            case DeviceEvent::Create:
                scene->CreateDevice(device);
                break;
            case DeviceEvent::Release:
                scene->ReleaseDevice(device);
                break;
            case DeviceEvent::Invalidate:
                scene->InvalidateDevice(device);
                break;
            case DeviceEvent::Restore:
                scene->RestoreDevice(device);
                break;
            }
        }
    }
    for (XViewport* v : m_V)
    {
        if (!v)
            continue;
        switch (event)
        {
        case DeviceEvent::Create:
            v->CreateDevice(device);
            break;
        case DeviceEvent::Release:
            v->ReleaseDevice(device);
            break;
        case DeviceEvent::Invalidate:
            v->InvalidateDevice(device);
            break;
        case DeviceEvent::Restore:
            v->RestoreDevice(device);
            break;
        }
    }
}

void XView::CreateDevice()
{
    SendDeviceEvent(DeviceEvent::Create);
}

void XView::ReleaseDevice()
{
    SendDeviceEvent(DeviceEvent::Release);
}

void XView::InvalidateDevice()
{
    SendDeviceEvent(DeviceEvent::Invalidate);
}

void XView::RestoreDevice()
{
    SendDeviceEvent(DeviceEvent::Restore);
}

// ---- State -----------------------------------------------------------------------------------

void XView::Save(XScene* scene, XWriter& writer)
{
    writer.BeginChunk(ViewChunk);
    writer.WriteChunkU32(LayoutChunk, static_cast<uint32_t>(GetViewportLayout()));
    for (uint32_t i = 0; i < 4; ++i)
    {
        writer.BeginChunk(ViewportChunk0 + i);
        m_V[i]->Save(scene, writer);
        writer.EndChunk();
    }
    writer.EndChunk();
}

void XView::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ViewChunk)
        return;
    while (reader.NextChunk())
    {
        uint32_t id = reader.GetChunkId();
        if (id == LayoutChunk)
        {
            // A layout cut short by its chunk is the reader's error, not bytes of the next chunk.
            if (reader.GetBytesLeft() < 4)
                throw FileUtils::XIOError();
            uint32_t layout = 0;
            reader.ReadU32(layout);
            SetViewportLayout(layout <= 10 ? static_cast<int>(layout) : XViewLayout::Grid);
        }
        else if (id >= ViewportChunk0 && id < ViewportChunk0 + 4)
        {
            XViewport* v = m_V[id - ViewportChunk0];
            while (reader.NextChunk())
            {
                v->Load(scene, reader);
                reader.EndChunk();
            }
        }
        reader.EndChunk();
    }
}

namespace
{
UnicodeString ViewportSection(const AnsiString& section, int i)
{
    return UnicodeString(section.c_str()) + u"_Viewport" + UnicodeString(std::u16string(1, static_cast<WCHAR>(u'0' + i)));
}
} // namespace

void XView::SaveState(TCustomIniFile* ini, const AnsiString& section)
{
    for (int i = 0; i < 4; ++i)
        m_V[i]->SaveState(ini, ViewportSection(section, i));
}

void XView::LoadState(TCustomIniFile* ini, const AnsiString& section)
{
    for (int i = 0; i < 4; ++i)
        m_V[i]->LoadState(ini, ViewportSection(section, i));
}

// ---- Text ------------------------------------------------------------------------------------

void XView::RenderText(float x, float y, unsigned colour, const StrUtils::XBaseString<char>& text, XFont* font)
{
    XViewText::Render(GetDevice(), x, y, colour, text, font);
}

void XView::RenderText(float x, float y, unsigned colour, const StrUtils::XBaseString<WCHAR>& text, XFont* font)
{
    RenderText(x, y, colour, WideToAnsi(text), font);
}
