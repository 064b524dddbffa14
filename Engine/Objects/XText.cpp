#include "Engine/Objects/XText.h"

#include "Components/XQuaternion.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XBaseShape.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XSceneLink.h"

using VarUtils::XVariant;

namespace
{
constexpr XPropertyDesc kProperties[] = {
    {XText::PidWidth, u"float", u"Width"},
    {XText::PidHeight, u"float", u"Height"},
    {XText::PidText, u"wstring", u"Text"},
    {XText::PidFontTextureName, u"wstring", u"FontTextureName"},
};
constexpr unsigned kPropertyCount = sizeof(kProperties) / sizeof(kProperties[0]);

float ClampSize(float size)
{
    return size < -XText::MaxSize ? -XText::MaxSize : (size > XText::MaxSize ? XText::MaxSize : size);
}

// One creation at a time.
XShapeDrag g_Drag;
} // namespace

XTextDesc TextDesc;

XText::XText() : m_Font(this), m_Text(u"Text")
{
    SetName(u"Text");
}

XText::~XText()
{
    SetFont(nullptr);
}

void XText::Notification(XRefManager* sender, unsigned message, uintptr_t param)
{
    // Compared as the reference's base: a font going away is no longer an XFont.
    XRefManager* font = m_Font.GetTarget();
    if (!font || sender != font)
    {
        XBaseMesh::Notification(sender, message, param);
        return;
    }
    if (message == XRM_DELETED || message == XRM_RELEASED)
        SetFont(nullptr);
    else if (message == XRM_TEXTURE_CHANGED)
        MeshInvalidate();
}

uint32_t XText::GetClassId() const
{
    return ClassId::Text;
}

XString XText::GetClassNameW() const
{
    return u"XText";
}

// ---- settings ----------------------------------------------------------------------------------

void XText::SetWidth(float width)
{
    width = ClampSize(width);
    if (width == m_Width)
        return;
    m_Width = width;
    MeshInvalidate();
}

void XText::SetHeight(float height)
{
    height = ClampSize(height);
    if (height == m_Height)
        return;
    m_Height = height;
    MeshInvalidate();
}

void XText::SetText(const XString& text)
{
    if (text == m_Text)
        return;
    m_Text = text;
    MeshInvalidate();
}

void XText::SetFont(XFont* font)
{
    if (static_cast<XRefManager*>(font) == m_Font.GetTarget())
        return;
    m_Font.SetTarget(font);
    MeshInvalidate();
}

XString XText::GetFontTextureName() const
{
    XFont* font = m_Font.Get();
    return font ? font->GetName() : XString();
}

void XText::SetFontTextureName(const XString& name)
{
    if (name == GetFontTextureName() || !GetScene())
        return;
    XBaseObject* found = XSceneLink::Get()->FindObject(GetScene(), name);
    SetFont(dynamic_cast<XFont*>(found));
}

// ---- scene file --------------------------------------------------------------------------------

void XText::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::Text);
    writer.WriteChunkFloat(WidthChunk, GetWidth());
    writer.WriteChunkFloat(HeightChunk, GetHeight());
    writer.WriteChunkString(TextChunk, GetText());
    writer.WriteChunkString(FontChunk, GetFontTextureName());
    writer.EndChunk();
}

void XText::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Text)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    m_Width = DefaultWidth;
    m_Height = DefaultHeight;
    m_Text = XString(u"Text");
    SetFont(nullptr);
    // The defaults went in without the setters.
    MeshInvalidate();
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case WidthChunk:
        {
            float f = 0;
            XArrayChunks::ReadFloat(reader, f);
            SetWidth(f);
            break;
        }
        case HeightChunk:
        {
            float f = 0;
            XArrayChunks::ReadFloat(reader, f);
            SetHeight(f);
            break;
        }
        case TextChunk:
        {
            XString text;
            reader.ReadString(text, MaxReadText);
            SetText(text);
            break;
        }
        case FontChunk:
        {
            XString name;
            reader.ReadString(name, MaxReadText);
            XBaseObject* found =
                scene && name.Length() ? XSceneLink::Get()->FindObject(scene, name) : nullptr;
            SetFont(dynamic_cast<XFont*>(found));
            break;
        }
        default:
            break;
        }
        reader.EndChunk();
    }
}

// ---- properties --------------------------------------------------------------------------------

unsigned XText::GetPropertyCount() const
{
    return XBaseMesh::GetPropertyCount() + kPropertyCount;
}

const XPropertyDesc* XText::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XBaseMesh::GetPropertyDesc(index - kPropertyCount);
}

void XText::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidWidth:
        value = GetWidth();
        return;
    case PidHeight:
        value = GetHeight();
        return;
    case PidText:
        value = GetText();
        return;
    case PidFontTextureName:
        value = GetFontTextureName();
        return;
    default:
        XBaseMesh::GetPropertyValue(id, value);
    }
}

void XText::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case PidWidth:
        SetWidth(static_cast<float>(value.AsDouble()));
        return;
    case PidHeight:
        SetHeight(static_cast<float>(value.AsDouble()));
        return;
    case PidText:
        SetText(value.AsString());
        return;
    case PidFontTextureName:
        SetFontTextureName(value.AsString());
        return;
    default:
        XBaseMesh::SetPropertyValue(id, value);
    }
}

// ---- geometry ----------------------------------------------------------------------------------

bool XText::Renderable()
{
    return true;
}

void XText::Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    XBaseMesh::Render(frame, viewport, node, flags);
}

void XText::Render(unsigned, XViewport*, const XMatrix&, unsigned) {}

XBoundingBox XText::GetBoundingBox(unsigned)
{
    const float w = GxMath::Abs(m_Width * 0.5f);
    const float h = GxMath::Abs(m_Height * 0.5f);
    return XBoundingBox(-w, -h, 0, w, h, 0);
}

XMesh* XText::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (!IsMeshValid(frame))
    {
        BuildMesh(node);
        MeshValidate(frame, viewport, node, &m_Mesh);
    }
    return &m_Mesh;
}

void XText::BuildMesh(XMeshNode* node)
{
    const uint32_t length = m_Text.Length();
    const long double W = GxMath::Abs(m_Width);
    const float x0 = static_cast<float>(-W / 2);
    const float h = GxMath::Abs(m_Height * 0.5f);

    // A font that has not built its glyphs yet has no table: such a text lays out as without one.
    XFont* font = m_Font.Get();
    const XGlyph* glyphs = font ? font->GetChars() : nullptr;
    XAnsiString ansi;
    uint32_t first = 0, last = 0, count = length;
    uint64_t total = 0;
    if (glyphs)
    {
        ansi = WideToAnsi(m_Text);
        const uint32_t bytes = ansi.Length();
        first = font->GetStartChar();
        last = font->GetEndChar();
        count = 0;
        for (uint32_t i = 0; i < length && i < bytes; ++i)
        {
            const uint8_t c = static_cast<uint8_t>(ansi.c_str()[i]);
            if (c < first || c > last)
                continue;
            ++count;
            total += glyphs[c - first].advance;
        }
    }

    m_Mesh.Clear();
    m_Mesh.SetVertexCount(4 * count);
    m_Mesh.SetFaceCount(2 * count);
    m_Mesh.SetTextureVertexCount(4 * count);
    XVertex* v = m_Mesh.GetVertices();
    XFace* f = m_Mesh.GetFaces();
    XTextureVertex* t = m_Mesh.GetTextureVertices();
    auto quad = [&](uint32_t k, float xl, float xr)
    {
        v[4 * k] = XVertex(xl, h, 0);
        v[4 * k + 1] = XVertex(xr, h, 0);
        v[4 * k + 2] = XVertex(xr, -h, 0);
        v[4 * k + 3] = XVertex(xl, -h, 0);
        f[2 * k] = XFace(4 * k, 4 * k + 1, 4 * k + 2);
        f[2 * k + 1] = XFace(4 * k + 2, 4 * k + 3, 4 * k);
    };
    if (glyphs)
    {
        uint32_t k = 0;
        uint64_t a = 0;
        for (uint32_t i = 0; i < length && k < count; ++i)
        {
            const uint8_t c = static_cast<uint8_t>(ansi.c_str()[i]);
            if (c < first || c > last)
                continue;
            const XGlyph& g = glyphs[c - first];
            const float xl = static_cast<float>(x0 + static_cast<long double>(a) * W / total);
            a += g.advance;
            const float xr = static_cast<float>(x0 + static_cast<long double>(a) * W / total);
            quad(k, xl, xr);
            t[4 * k] = XTextureVertex(g.left, g.top);
            t[4 * k + 1] = XTextureVertex(g.right, g.top);
            t[4 * k + 2] = XTextureVertex(g.right, g.bottom);
            t[4 * k + 3] = XTextureVertex(g.left, g.bottom);
            ++k;
        }
    }
    else
    {
        for (uint32_t i = 0; i < count; ++i)
        {
            const float cell = static_cast<float>(W / length);
            const float xl = x0 + static_cast<float>(i * W / length);
            quad(i, xl, xl + cell);
            const float u0 = static_cast<float>(i) / static_cast<float>(length);
            const float u1 = u0 + 1.0f / static_cast<float>(length);
            t[4 * i] = XTextureVertex(u0, 0);
            t[4 * i + 1] = XTextureVertex(u1, 0);
            t[4 * i + 2] = XTextureVertex(u1, 1);
            t[4 * i + 3] = XTextureVertex(u0, 1);
        }
    }
    if (m_Mesh.GetColorsEnabled())
    {
        m_Mesh.SetColorCount(4 * count);
        const XColor color = node ? XColor(node->GetColor().ToColorRef()) : XColor(0xFFFFFFFFu);
        for (uint32_t i = 0; i < 4 * count; ++i)
            m_Mesh.GetColors()[i] = color;
    }
    if (m_Mesh.GetNormalsEnabled())
    {
        m_Mesh.SetNormalCount(4 * count);
        for (uint32_t i = 0; i < 4 * count; ++i)
            m_Mesh.GetNormals()[i] = XVertex(0, 0, -1);
    }
}

// ---- mouse creation ----------------------------------------------------------------------------

bool XText::AllowMouseCreate()
{
    return true;
}

void XText::MouseCreateStart()
{
    g_Drag.Start();
    m_Width = 0.001f;
    m_Height = 0.001f;
    MeshInvalidate();
}

bool XText::MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                            XShiftState)
{
    float width = 0, height = 0;
    switch (g_Drag.Step(viewport, node, event, point, width, height))
    {
    case XShapeDrag::Resized:
        m_Width = width;
        m_Height = height;
        MeshInvalidate();
        return false;
    case XShapeDrag::Finished:
        return true;
    default:
        return false;
    }
}

void XText::MouseCreateFinish() {}

XBaseObject* XTextDesc::Create() const
{
    return new XText;
}

XString XTextDesc::GetClassNameW() const
{
    return u"XText";
}

uint32_t XTextDesc::GetCategory() const
{
    return XCAT_MESH;
}
