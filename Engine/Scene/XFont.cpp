#include "Engine/Scene/XFont.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XClassIds.h"

using VarUtils::XVariant;

namespace
{
constexpr uint32_t SizeChunk = ClassId::Font + 1;
constexpr uint32_t WeightChunk = ClassId::Font + 2;
constexpr uint32_t ItalicChunk = ClassId::Font + 3;
constexpr uint32_t UnderlineChunk = ClassId::Font + 4;
constexpr uint32_t StrikeOutChunk = ClassId::Font + 5;
constexpr uint32_t QualityChunk = ClassId::Font + 6;
constexpr uint32_t FontNameChunk = ClassId::Font + 8;
constexpr unsigned MaxFontName = 1024;

constexpr XPropertyDesc kProperties[] = {
    {XFont::PidSize, u"bitu32", u"Size"},
    {XFont::PidWeight, u"bitu32", u"Weight"},
    {XFont::PidItalic, u"bool", u"Italic"},
    {XFont::PidUnderline, u"bool", u"Underline"},
    {XFont::PidStrikeOut, u"bool", u"StrikeOut"},
    {XFont::PidQuality, u"bitu32", u"Quality"},
    {XFont::PidFontName, u"AnsiString", u"FontName"},
    {XFont::PidStartChar, u"bitu32", u"StartChar"},
    {XFont::PidEndChar, u"bitu32", u"EndChar"},
};
constexpr unsigned kPropertyCount = sizeof(kProperties) / sizeof(kProperties[0]);

// A one-value sub-chunk too short for its value would read into whatever follows.
uint32_t ReadWord(XReader& reader)
{
    uint32_t value = 0;
    if (reader.GetBytesLeft() < 4 || reader.Read(&value, 4) != 4)
        throw FileUtils::XIOError();
    return value;
}
} // namespace

XFontDesc FontDesc;

XFont::XFont()
{
    m_Font.SetSize(DefaultSize);
    SetName(u"Font");
}

XFont::~XFont() = default;

uint32_t XFont::GetClassId() const
{
    return ClassId::Font;
}

XString XFont::GetClassNameW() const
{
    return u"XFont";
}

void XFont::Changed()
{
    Recreate();
    NotifyChange(0);
}

void XFont::Recreate()
{
    if (!m_Device)
        return;
    m_Made = true;
    ReleaseTexture();
    m_Texture = m_Font.CreateTexture(m_Device, m_Width, m_Height, m_Format, m_Pool);
}

void XFont::SetSize(uint32_t size)
{
    if (size == m_Font.GetSize())
        return;
    m_Font.SetSize(size);
    Changed();
}

void XFont::SetWeight(uint32_t weight)
{
    if (weight == m_Font.GetWeight())
        return;
    m_Font.SetWeight(weight);
    Changed();
}

void XFont::SetItalic(bool italic)
{
    if (italic == GetItalic())
        return;
    m_Font.SetItalic(italic ? 1 : 0);
    Changed();
}

void XFont::SetUnderline(bool underline)
{
    if (underline == GetUnderline())
        return;
    m_Font.SetUnderline(underline ? 1 : 0);
    Changed();
}

void XFont::SetStrikeOut(bool strikeOut)
{
    if (strikeOut == GetStrikeOut())
        return;
    m_Font.SetStrikeOut(strikeOut ? 1 : 0);
    Changed();
}

void XFont::SetQuality(uint32_t quality)
{
    if (quality == m_Font.GetQuality())
        return;
    m_Font.SetQuality(quality);
    Changed();
}

void XFont::SetFontName(const XString& name)
{
    if (name == m_Font.GetFaceName())
        return;
    m_Font.SetFaceName(name);
    Changed();
}

void XFont::SetStartChar(uint32_t code)
{
    if (code > GetEndChar() || code == GetStartChar())
        return;
    m_Font.SetFirstChar(code);
    Changed();
}

void XFont::SetEndChar(uint32_t code)
{
    if (GetStartChar() > code || code > 255 || code == GetEndChar())
        return;
    m_Font.SetLastChar(code);
    Changed();
}

// ---- scene file --------------------------------------------------------------------------------

void XFont::Save(XScene* scene, XWriter& writer)
{
    XTexture::Save(scene, writer);
    writer.BeginChunk(ClassId::Font);
    writer.WriteChunkU32(SizeChunk, m_Font.GetSize());
    writer.WriteChunkU32(WeightChunk, m_Font.GetWeight());
    writer.WriteChunkU32(ItalicChunk, m_Font.GetItalic());
    writer.WriteChunkU32(UnderlineChunk, m_Font.GetUnderline());
    writer.WriteChunkU32(StrikeOutChunk, m_Font.GetStrikeOut());
    writer.WriteChunkU32(QualityChunk, m_Font.GetQuality());
    writer.WriteChunkString(FontNameChunk, m_Font.GetFaceName());
    writer.EndChunk();
}

void XFont::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Font)
    {
        XTexture::Load(scene, reader);
        return;
    }
    m_Font.SetSize(DefaultSize);
    m_Font.SetWeight(D3dFont::DefaultWeight);
    m_Font.SetItalic(0);
    m_Font.SetUnderline(0);
    m_Font.SetStrikeOut(0);
    m_Font.SetQuality(LoadQuality);
    m_Font.SetFaceName(u"Arial");
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case SizeChunk:
            SetSize(ReadWord(reader));
            break;
        case WeightChunk:
            SetWeight(ReadWord(reader));
            break;
        case ItalicChunk:
            SetItalic(ReadWord(reader) != 0);
            break;
        case UnderlineChunk:
            SetUnderline(ReadWord(reader) != 0);
            break;
        case StrikeOutChunk:
            SetStrikeOut(ReadWord(reader) != 0);
            break;
        case QualityChunk:
            SetQuality(ReadWord(reader));
            break;
        case FontNameChunk:
        {
            XString name;
            reader.ReadString(name, MaxFontName);
            SetFontName(name);
            break;
        }
        default:
            break;
        }
        reader.EndChunk();
    }
}

// ---- properties --------------------------------------------------------------------------------

unsigned XFont::GetPropertyCount() const
{
    return kPropertyCount + XBaseObject::GetPropertyCount();
}

const XPropertyDesc* XFont::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XBaseObject::GetPropertyDesc(index - kPropertyCount);
}

void XFont::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidSize:
        value = GetSize();
        return;
    case PidWeight:
        value = GetWeight();
        return;
    case PidItalic:
        value = GetItalic();
        return;
    case PidUnderline:
        value = GetUnderline();
        return;
    case PidStrikeOut:
        value = GetStrikeOut();
        return;
    case PidQuality:
        value = GetQuality();
        return;
    case PidFontName:
        value = GetFontName();
        return;
    case PidStartChar:
        value = GetStartChar();
        return;
    case PidEndChar:
        value = GetEndChar();
        return;
    case PidEmptyText:
        value = XAnsiString();
        return;
    default:
        XTexture::GetPropertyValue(id, value);
    }
}

void XFont::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case PidSize:
        SetSize(static_cast<uint32_t>(value.AsInt()));
        return;
    case PidWeight:
        SetWeight(static_cast<uint32_t>(value.AsInt()));
        return;
    case PidItalic:
        SetItalic(value.AsBool());
        return;
    case PidUnderline:
        SetUnderline(value.AsBool());
        return;
    case PidStrikeOut:
        SetStrikeOut(value.AsBool());
        return;
    case PidQuality:
        SetQuality(static_cast<uint32_t>(value.AsInt()));
        return;
    case PidFontName:
        SetFontName(value.AsString());
        return;
    case PidStartChar:
        SetStartChar(static_cast<uint32_t>(value.AsInt()));
        return;
    case PidEndChar:
        SetEndChar(static_cast<uint32_t>(value.AsInt()));
        return;
    case PidEmptyText:
        return;
    default:
        XTexture::SetPropertyValue(id, value);
    }
}

XBaseObject* XFontDesc::Create() const
{
    return new XFont;
}

XString XFontDesc::GetClassNameW() const
{
    return u"XFont";
}

uint32_t XFontDesc::GetCategory() const
{
    return XCAT_TEXTURE;
}
