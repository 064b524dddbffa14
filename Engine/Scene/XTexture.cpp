#include "Engine/Scene/XTexture.h"

#include "Components/XException.h"
#include "Components/XFileStream.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "DirectX/D3dUtils.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"
#include "Engine/Views/XViewport.h"
#include "Gx/GxD3DX.h"

#include <algorithm>
#include <cstring>
#include <string>

using VarUtils::XVariant;

XTextureDesc TextureDesc;

namespace
{
enum : uint32_t
{
    WidthChunk = ClassId::Texture + 1,
    HeightChunk = ClassId::Texture + 2,
    LevelsChunk = ClassId::Texture + 3,
    UsageChunk = ClassId::Texture + 4,
    FormatChunk = ClassId::Texture + 5,
    PoolChunk = ClassId::Texture + 6,
    SourceKindChunk = ClassId::Texture + 8,
    PixelsChunk = ClassId::Texture + 9,
    FileNameChunk = ClassId::Texture + 0xA,
};

// File names read from scene files are bounded before anything is allocated for them.
constexpr unsigned kMaxReadName = 1024;
// The bitmap header the reader needs: the file header and the 40-byte information header.
constexpr unsigned kBmpHeaderBytes = 14 + 40;
// The header the exporter writes: those two and four filler bytes.
constexpr unsigned kBmpExportHeaderBytes = 58;
// D3DX gets the rest of a stream in one buffer of at most this size.
constexpr int64_t kMaxImageBytes = int64_t{1} << 30;

// Bits per texel of the formats a texture makes from stored pixel bytes.
unsigned TextureFormatBits(D3DFORMAT format)
{
    switch (format)
    {
    case D3DFMT_R8G8B8:
        return 24;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 32;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return 16;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
        return 8;
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
        return 16;
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_G16R16:
    case D3DFMT_A2R10G10B10:
        return 32;
    case D3DFMT_A16B16G16R16:
        return 64;
    default:
        return 0;
    }
}

// Four-character codes (block-compressed and packed formats) lie above every plain format: their
// locked rows are not rows of texels.
bool IsPlainFormat(D3DFORMAT format)
{
    return static_cast<uint32_t>(format) < 0x100;
}

// Level 0 locked for the lifetime of the object.
class LevelLock
{
public:
    explicit LevelLock(IDirect3DTexture9* texture) : m_Texture(texture)
    {
        if (FAILED(texture->LockRect(0, &m_Rect, nullptr, 0)) || !m_Rect.pBits)
            throw XException(u"Failed LockRect call.");
    }
    LevelLock(const LevelLock&) = delete;
    LevelLock& operator=(const LevelLock&) = delete;
    ~LevelLock() { m_Texture->UnlockRect(0); }

    uint8_t* Row(uint32_t row) const
    {
        return static_cast<uint8_t*>(m_Rect.pBits) + static_cast<size_t>(row) * Pitch();
    }
    size_t Pitch() const { return m_Rect.Pitch > 0 ? static_cast<size_t>(m_Rect.Pitch) : 0; }

private:
    IDirect3DTexture9* m_Texture;
    D3DLOCKED_RECT m_Rect{};
};

D3DSURFACE_DESC LevelDesc(IDirect3DTexture9* texture)
{
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)))
        throw XException(u"Failed LockRect call.");
    return desc;
}

uint32_t LittleU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t LittleU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void PutU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool HasBmpExtension(const XString& name)
{
    const WCHAR* text = name.c_str();
    unsigned length = name.Length();
    for (unsigned i = length; i > 0; --i)
    {
        WCHAR c = text[i - 1];
        if (c == u'\\' || c == u'/')
            return false;
        if (c != u'.')
            continue;
        if (length - i != 3)
            return false;
        auto lower = [](WCHAR w) { return w >= u'A' && w <= u'Z' ? static_cast<WCHAR>(w + 32) : w; };
        return lower(text[i]) == u'b' && lower(text[i + 1]) == u'm' && lower(text[i + 2]) == u'p';
    }
    return false;
}

void WriteText(XStream& stream, const std::string& text)
{
    stream.WriteBuffer(text.data(), static_cast<unsigned>(text.size()));
}
} // namespace

using XXTextureWidthField = XAccessorField<XTexture, uint32_t, &XTexture::GetWidth, &XTexture::SetWidth>;
using XXTextureHeightField = XAccessorField<XTexture, uint32_t, &XTexture::GetHeight, &XTexture::SetHeight>;
using XXTextureLevelsField = XAccessorField<XTexture, uint32_t, &XTexture::GetLevels, &XTexture::SetLevels>;
using XXTextureUsageField = XAccessorField<XTexture, uint32_t, &XTexture::GetUsage, &XTexture::SetUsage>;
using XXTextureFormatField = XAccessorField<XTexture, D3DFORMAT, &XTexture::GetFormat, &XTexture::SetFormat>;
using XXTexturePoolField = XAccessorField<XTexture, D3DPOOL, &XTexture::GetPool, &XTexture::SetPool>;
class XXTextureFileNameField : public XObjectField
{
public:
    XString GetName() const override { return u"FileName"; }
    XString GetTypeName() const override { return u"wstring"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<XTexture*>(object)->GetFileName();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        static_cast<XTexture*>(object)->SetFileName(value.AsString());
        return true;
    }
};

namespace
{
XXTextureWidthField g_WidthField(u"Width", u"bitu32");
XXTextureHeightField g_HeightField(u"Height", u"bitu32");
XXTextureLevelsField g_LevelsField(u"Levels", u"bitu32");
XXTextureUsageField g_UsageField(u"Usage", u"bitu32");
XXTextureFormatField g_FormatField(u"Format", u"D3DFORMAT");
XXTexturePoolField g_PoolField(u"Pool", u"D3DPOOL");
XXTextureFileNameField g_FileNameField;
} // namespace

// ---- construction ------------------------------------------------------------------------------

XTexture::XTexture()
{
    SetName(MakeName());
}

XTexture::~XTexture()
{
    m_Device = nullptr;
    m_Pixels.clear();
    ReleaseTexture();
    try
    {
        SetScene(nullptr);
    }
    catch (...)
    {
    }
}

uint32_t XTexture::GetClassId() const
{
    return ClassId::Texture;
}

XString XTexture::GetClassNameW() const
{
    return u"XTexture";
}

void XTexture::ReleaseTexture()
{
    if (!m_Texture)
        return;
    m_Texture->Release();
    m_Texture = nullptr;
}

// ---- scene file --------------------------------------------------------------------------------

void XTexture::Save(XScene* scene, XWriter& writer)
{
    XBaseObject::Save(scene, writer);
    writer.BeginChunk(ClassId::Texture);
    writer.WriteChunkU32(WidthChunk, m_Width);
    writer.WriteChunkU32(HeightChunk, m_Height);
    writer.WriteChunkU32(LevelsChunk, m_Levels);
    writer.WriteChunkU32(UsageChunk, m_Usage);
    writer.WriteChunkU32(FormatChunk, static_cast<uint32_t>(m_Format));
    writer.WriteChunkU32(PoolChunk, static_cast<uint32_t>(m_Pool));
    writer.WriteChunkString(FileNameChunk, m_FileName);
    writer.WriteChunkU32(SourceKindChunk, m_SourceKind);
    if (!m_Pixels.empty())
    {
        writer.BeginChunk(PixelsChunk);
        writer.WriteU32(static_cast<uint32_t>(m_Pixels.size()));
        writer.Write(m_Pixels.data(), static_cast<unsigned>(m_Pixels.size()));
        writer.EndChunk();
    }
    writer.EndChunk();
}

void XTexture::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Texture)
    {
        XBaseObject::Load(scene, reader);
        return;
    }
    m_Pixels.clear();
    SetSourceKind(FromFile);
    m_Width = m_Height = m_Levels = m_Usage = 0;
    m_Format = D3DFMT_A8R8G8B8;
    m_Pool = D3DPOOL_MANAGED;
    m_FileName = XString();
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case WidthChunk:
            m_Width = XArrayChunks::ReadU32(reader);
            break;
        case HeightChunk:
            m_Height = XArrayChunks::ReadU32(reader);
            break;
        case LevelsChunk:
            m_Levels = XArrayChunks::ReadU32(reader);
            break;
        case FormatChunk:
            m_Format = static_cast<D3DFORMAT>(XArrayChunks::ReadU32(reader));
            break;
        case UsageChunk:
            SetUsage(XArrayChunks::ReadU32(reader));
            break;
        case PoolChunk:
            SetPool(static_cast<D3DPOOL>(XArrayChunks::ReadU32(reader)));
            break;
        case SourceKindChunk:
            SetSourceKind(XArrayChunks::ReadU32(reader));
            break;
        case PixelsChunk:
        {
            uint32_t count = XArrayChunks::ReadU32(reader);
            // A count the chunk cannot hold is a damaged chunk: no stored pixels.
            if (count == 0 || count > reader.GetBytesLeft())
                break;
            std::vector<uint8_t> pixels(count);
            if (reader.Read(pixels.data(), count) == count)
                m_Pixels.swap(pixels);
            break;
        }
        case FileNameChunk:
        {
            XString name;
            reader.ReadString(name, kMaxReadName);
            SetFileName(name);
            break;
        }
        default:
            break;
        }
        reader.EndChunk();
    }
    m_Made = false;
}

void XTexture::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseTexture::EnumerateFields(fields);
    fields.Add(&g_WidthField);
    fields.Add(&g_HeightField);
    fields.Add(&g_LevelsField);
    fields.Add(&g_UsageField);
    fields.Add(&g_FormatField);
    fields.Add(&g_PoolField);
    fields.Add(&g_FileNameField);
}

// ---- device ------------------------------------------------------------------------------------

void XTexture::SetDevice(IDirect3DDevice9* device)
{
    ReleaseTexture();
    m_Device = device;
    m_Made = false;
}

void XTexture::CreateDevice(IDirect3DDevice9* device)
{
    SetDevice(device);
}

void XTexture::ReleaseDevice(IDirect3DDevice9*)
{
    SetDevice(nullptr);
}

void XTexture::InvalidateDevice(IDirect3DDevice9*)
{
    if (m_Pool != D3DPOOL_MANAGED)
        SetDevice(nullptr);
}

void XTexture::RestoreDevice(IDirect3DDevice9* device)
{
    if (m_Pool != D3DPOOL_MANAGED)
        SetDevice(device);
}

void XTexture::Apply(unsigned, XViewport* viewport, XBaseMaterial*, unsigned stage)
{
    if (!m_Made)
        Recreate();
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    device->SetTexture(stage, device == m_Device ? m_Texture : nullptr);
}

void XTexture::Unapply(unsigned, XViewport* viewport, XBaseMaterial*, unsigned stage)
{
    if (IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr)
        device->SetTexture(stage, nullptr);
}

bool XTexture::IsReady()
{
    return true;
}

// ---- making the texture ------------------------------------------------------------------------

void XTexture::Recreate()
{
    if (!m_Device)
        return;
    m_Made = true;
    ReleaseTexture();
    if (m_SourceKind == FromFile)
    {
        if (m_FileName.Length() > 0)
        {
            LoadFromFile(m_FileName);
            return;
        }
        if (m_Width != 0 && m_Height != 0)
            m_Device->CreateTexture(m_Width, m_Height, m_Levels, m_Usage, m_Format, m_Pool, &m_Texture,
                                    nullptr);
        return;
    }
    if (m_SourceKind != FromPixels || m_Pixels.empty())
        return;
    IDirect3DTexture9* texture = nullptr;
    m_Device->CreateTexture(m_Width, m_Height, 1, 0, m_Format, m_Pool, &texture, nullptr);
    if (!texture)
        throw XException(u"Failed CreateTexture call.");
    m_Texture = texture;
    try
    {
        D3DSURFACE_DESC desc = LevelDesc(texture);
        LevelLock lock(texture);
        // Row by row with the locked pitch, never past the stored bytes or the level.
        size_t rowBytes = static_cast<size_t>(TextureFormatBits(m_Format)) * desc.Width / 8;
        size_t copy = std::min(rowBytes, lock.Pitch());
        for (uint32_t row = 0; row < desc.Height && copy > 0; ++row)
        {
            size_t from = row * rowBytes;
            if (from >= m_Pixels.size())
                break;
            std::memcpy(lock.Row(row), m_Pixels.data() + from, std::min(copy, m_Pixels.size() - from));
        }
    }
    catch (...)
    {
        ReleaseTexture();
        throw;
    }
}

void XTexture::LoadFromFile(const XString& fileName)
{
    if (!m_Device)
        throw XException(u"NULL device pointer.");
    ReleaseTexture();
    // The name may be m_FileName itself: keep a copy while the fields change.
    XString name = fileName;
    if (HasBmpExtension(name))
    {
        XFileStream file(name.c_str(), 4);
        LoadFromStream(file);
        m_FileName = name;
        return;
    }
    D3DXIMAGE_INFO info{};
    CheckD3D(Gx::D3DXGetImageInfoFromFileW(name.c_str(), &info));
    m_Width = info.Width;
    m_Height = info.Height;
    m_Format = info.Format;
    m_Levels = info.MipLevels;
    IDirect3DTexture9* texture = nullptr;
    HRESULT result = Gx::D3DXCreateTextureFromFileExW(m_Device, name.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                                      m_Levels, m_Usage, m_Format, m_Pool, D3DX_DEFAULT,
                                                      D3DX_DEFAULT, 0, &info, nullptr, &texture);
    m_Texture = texture;
    if (result != D3D_OK)
        ReleaseTexture();
    CheckD3D(result);
    m_FileName = name;
}

void XTexture::LoadFromStream(XStream& stream)
{
    if (!m_Device)
        throw XException(u"NULL device pointer.");
    ReleaseTexture();
    int64_t start = stream.GetPosition();
    uint8_t magic[2] = {};
    if (stream.Read(magic, 2) == 2 && magic[0] == 'B' && magic[1] == 'M')
        LoadBitmap(stream, start);
    else
        LoadThroughD3DX(stream, start);
}

void XTexture::LoadBitmap(XStream& stream, int64_t start)
{
    stream.SetPosition(start);
    uint8_t header[kBmpHeaderBytes];
    if (stream.Read(header, kBmpHeaderBytes) != kBmpHeaderBytes)
        throw FileUtils::XIOError();
    uint32_t pixelOffset = LittleU32(header + 10);
    int32_t width = static_cast<int32_t>(LittleU32(header + 18));
    int32_t height = static_cast<int32_t>(LittleU32(header + 22));
    uint16_t planes = LittleU16(header + 26);
    uint16_t bits = LittleU16(header + 28);
    uint32_t compression = LittleU32(header + 30);
    if (planes != 1)
        throw XException(u"More than one plain in bitmap.");
    if (compression != 0)
        throw XException(u"Compressed bitmap not supported.");

    D3DFORMAT format;
    switch (bits)
    {
    case 16:
        format = D3DFMT_A1R5G5B5;
        break;
    case 24:
    case 32:
        format = D3DFMT_A8R8G8B8;
        break;
    default:
        throw XException(u"Unsupported image format.");
    }
    D3DCAPS9 caps{};
    if (FAILED(m_Device->GetDeviceCaps(&caps)))
        caps.MaxTextureWidth = caps.MaxTextureHeight = 0;
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > caps.MaxTextureWidth ||
        static_cast<uint32_t>(height) > caps.MaxTextureHeight)
        throw XException(u"Unsupported image format.");

    // The pixels are checked to be there before a texture is made for them. The offset counts
    // from the bitmap's first byte, wherever it stands in the stream.
    size_t texelBytes = bits / 8u;
    size_t rowBytes = texelBytes * static_cast<uint32_t>(width);
    int64_t pixelsAt = start + pixelOffset;
    if (stream.GetSize() - pixelsAt < static_cast<int64_t>(rowBytes * static_cast<uint32_t>(height)))
        throw FileUtils::XIOError();

    m_Width = static_cast<uint32_t>(width);
    m_Height = static_cast<uint32_t>(height);
    m_Levels = 0;
    m_Format = format;
    IDirect3DTexture9* texture = nullptr;
    m_Device->CreateTexture(m_Width, m_Height, 1, 0, m_Format, m_Pool, &texture, nullptr);
    if (!texture)
        throw XException(u"Failed CreateTexture call.");
    m_Texture = texture;
    try
    {
        LevelLock lock(texture);
        stream.SetPosition(pixelsAt);
        std::vector<uint8_t> row(rowBytes);
        for (uint32_t r = 0; r < m_Height; ++r)
        {
            if (stream.Read(row.data(), static_cast<unsigned>(rowBytes)) != rowBytes)
                throw FileUtils::XIOError();
            uint8_t* out = lock.Row(r);
            if (bits != 24)
            {
                std::memcpy(out, row.data(), std::min(rowBytes, lock.Pitch()));
                continue;
            }
            size_t texels = std::min<size_t>(m_Width, lock.Pitch() / 4);
            for (size_t i = 0; i < texels; ++i)
            {
                const uint8_t* bgr = row.data() + 3 * i;
                PutU32(out + 4 * i, 0xFF000000u | static_cast<uint32_t>(bgr[2]) << 16 |
                                        static_cast<uint32_t>(bgr[1]) << 8 | bgr[0]);
            }
        }
    }
    catch (...)
    {
        ReleaseTexture();
        throw;
    }
}

void XTexture::LoadThroughD3DX(XStream& stream, int64_t start)
{
    int64_t size = stream.GetSize() - start;
    if (size < 0)
        size = 0;
    if (size > kMaxImageBytes)
        throw XException(u"Unsupported image format.");
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    stream.SetPosition(start);
    if (size > 0 && stream.Read(buffer.data(), static_cast<unsigned>(size)) != size)
        throw FileUtils::XIOError();
    UINT bytes = static_cast<UINT>(size);
    D3DXIMAGE_INFO info{};
    CheckD3D(Gx::D3DXGetImageInfoFromFileInMemory(buffer.data(), bytes, &info));
    m_Width = info.Width;
    m_Height = info.Height;
    m_Format = info.Format;
    m_Levels = info.MipLevels;
    IDirect3DTexture9* texture = nullptr;
    HRESULT result = Gx::D3DXCreateTextureFromFileInMemoryEx(
        m_Device, buffer.data(), bytes, D3DX_DEFAULT, D3DX_DEFAULT, m_Levels, m_Usage, m_Format, m_Pool,
        D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture);
    m_Texture = texture;
    if (result != D3D_OK)
        ReleaseTexture();
    CheckD3D(result);
}

// ---- export ------------------------------------------------------------------------------------

void XTexture::ExportToFile(const XString& fileName, uint32_t kind)
{
    XFileStream file(fileName.c_str(), 1);
    ExportToStream(file, kind);
}

void XTexture::ExportToStream(XStream& stream, uint32_t kind)
{
    if (!m_Device || !m_Texture || m_Width == 0 || m_Height == 0)
        return;
    if (kind != ExportSource && kind != ExportBmp)
        return;
    // The level's own size and format: the fields may have changed since it was made.
    D3DSURFACE_DESC desc = LevelDesc(m_Texture);
    if (!IsPlainFormat(desc.Format))
        return;
    unsigned bits = GetFormatBits(desc.Format);
    if (kind == ExportSource)
    {
        if (bits != 16 && bits != 32)
            return;
        LevelLock lock(m_Texture);
        bool wide = bits == 32;
        std::string text = wide ? "bitu32 Texture[" : "bitu16 *Texture[";
        text += std::to_string(desc.Height) + "][" + std::to_string(desc.Width) + "] = {\r\n";
        WriteText(stream, text);
        for (uint32_t r = 0; r < desc.Height; ++r)
        {
            const uint8_t* row = lock.Row(r);
            text = "\t{";
            for (uint32_t i = 0; i < desc.Width; ++i)
            {
                int32_t value = wide ? static_cast<int32_t>(LittleU32(row + 4 * i)) : LittleU16(row + 2 * i);
                if (wide && i > 0)
                    text += ',';
                text += '\t';
                text += std::to_string(value);
            }
            text += wide ? "},\r\n" : "\t},\r\n";
            WriteText(stream, text);
        }
        WriteText(stream, "};\r\n");
        return;
    }

    size_t rowBytes = static_cast<size_t>(desc.Width) * bits / 8;
    uint8_t header[kBmpExportHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header + 2, static_cast<uint32_t>(kBmpExportHeaderBytes + rowBytes * desc.Height));
    PutU32(header + 10, kBmpExportHeaderBytes);
    PutU32(header + 14, 40);
    PutU32(header + 18, desc.Width);
    PutU32(header + 22, desc.Height);
    PutU16(header + 26, 1);
    PutU16(header + 28, static_cast<uint16_t>(bits));
    PutU32(header + 38, 120);
    PutU32(header + 42, 120);
    stream.WriteBuffer(header, kBmpExportHeaderBytes);
    LevelLock lock(m_Texture);
    for (uint32_t r = 0; r < desc.Height && rowBytes > 0; ++r)
        stream.WriteBuffer(lock.Row(r), static_cast<unsigned>(std::min(rowBytes, lock.Pitch())));
}

// ---- settings ----------------------------------------------------------------------------------

void XTexture::SetWidth(uint32_t width)
{
    Remake(m_Width, width);
}

void XTexture::SetHeight(uint32_t height)
{
    Remake(m_Height, height);
}

void XTexture::SetLevels(uint32_t levels)
{
    if (Remake(m_Levels, levels))
        NotifyChange(1);
}

void XTexture::SetUsage(uint32_t usage)
{
    if (Remake(m_Usage, usage))
        NotifyChange(2);
}

void XTexture::SetFormat(D3DFORMAT format)
{
    // A format written through the property grid reports success, so it must take effect.
    Remake(m_Format, format);
}

void XTexture::SetPool(D3DPOOL pool)
{
    if (Remake(m_Pool, pool))
        NotifyChange(0x10);
}

void XTexture::SetFileName(const XString& fileName)
{
    if (Remake(m_FileName, fileName))
        NotifyChange(0x20);
}

void XTexture::SetSourceKind(uint32_t kind)
{
    if (kind == m_SourceKind)
        return;
    if (m_SourceKind == FromPixels)
    {
        std::vector<uint8_t>().swap(m_Pixels);
        m_Width = 0;
        m_Height = 0;
    }
    m_SourceKind = kind;
    m_Made = false;
}

void XTexture::NotifyChange(uint32_t param)
{
    NotifyDependents(XRM_TEXTURE_CHANGED, param);
}

// ---- descriptor --------------------------------------------------------------------------------

XBaseObject* XTextureDesc::Create() const
{
    return new XTexture();
}

XString XTextureDesc::GetClassNameW() const
{
    return u"XTexture";
}

uint32_t XTextureDesc::GetCategory() const
{
    return XCAT_TEXTURE;
}
