// One Direct3D 9 texture of a scene. Its pixels come from an image file (BMP through its own
// reader, every other format through D3DX), from pixel bytes stored in the scene file, or it is an
// empty texture of a given size and format. The Direct3D texture is made lazily on the device the
// scene gives it, and made again after any setting or device change, and after a device reset
// for textures outside the managed pool.
#pragma once

#include "Components/StrUtils.h"
#include "Engine/Scene/XBaseTexture.h"
#include "Engine/Scene/XClassDesc.h"
#include "Platform/D3D9/D3D9.h"

#include <cstdint>
#include <vector>

class XStream;

class XTexture : public XBaseTexture
{
public:
    // Where Recreate takes the pixels from.
    enum SourceKind : uint32_t
    {
        FromFile = 0,   // FileName; an empty texture of Width x Height when the name is empty
        FromPixels = 1, // the stored pixel bytes
    };
    // What ExportToFile and ExportToStream write.
    enum ExportKind : uint32_t
    {
        ExportSource = 1, // the texels as source text (16 or 32 bits per texel)
        ExportBmp = 2,    // an uncompressed bitmap
    };

    XTexture();
    // Releases the Direct3D texture and leaves the scene. Never throws.
    ~XTexture() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x00020000 resets every field first, then reads its sub-chunks; the texture is made
    // again on its next use. Other chunks go to the object base.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;

    // The device the scene hands out; null releases the texture.
    void CreateDevice(IDirect3DDevice9* device) override;
    void ReleaseDevice(IDirect3DDevice9* device) override;
    // Only textures outside the managed pool let go of the device before a reset and take it
    // back after it: a managed texture survives the reset untouched.
    void InvalidateDevice(IDirect3DDevice9* device) override;
    void RestoreDevice(IDirect3DDevice9* device) override;

    // Makes the texture when it must be made, then binds it to the stage when the viewport draws
    // with the texture's device (binds nothing otherwise). Without a viewport device nothing.
    void Apply(unsigned frame, XViewport* viewport, XBaseMaterial* material, unsigned stage) override;
    void Unapply(unsigned frame, XViewport* viewport, XBaseMaterial* material, unsigned stage) override;
    // Makes the Direct3D texture from the source; nothing without a device. Failures are
    // XException "Failed CreateTexture call.", "Failed LockRect call." and those of the loaders;
    // after a failure there is no texture until a setting or the device changes.
    virtual void Recreate();
    // Always true.
    virtual bool IsReady();
    // Creates (or replaces) the file and writes ExportToStream into it.
    virtual void ExportToFile(const XString& fileName, uint32_t kind);
    // Level 0 of the texture as source text or a bitmap; nothing without a device or texture, for
    // a zero size, a block-compressed format or another kind.
    virtual void ExportToStream(XStream& stream, uint32_t kind);
    // ".bmp" in any case goes to the texture's own reader (the file opened read-only), any other
    // file to D3DX; FileName becomes the name. Without a device: XException "NULL device pointer.".
    virtual void LoadFromFile(const XString& fileName);
    // A bitmap ("BM") from the stream position through the texture's own reader, anything else
    // from there to the end through D3DX. Sets the size and format fields without notification.
    // Bitmaps: one plane, uncompressed, 16 bits (A1R5G5B5), 24 or 32 bits (A8R8G8B8; 24-bit texels
    // get alpha 0xFF), width and height from 1 to the device's limit, pixel rows unpadded from the
    // offset the header gives. Otherwise XException "More than one plain in bitmap.",
    // "Compressed bitmap not supported." or "Unsupported image format."; too few bytes:
    // FileUtils::XIOError.
    virtual void LoadFromStream(XStream& stream);

    IDirect3DTexture9* GetD3DTexture() const { return m_Texture; }
    IDirect3DDevice9* GetDevice() const { return m_Device; }
    // Releases the texture and takes the device; the texture is made again on its next use.
    void SetDevice(IDirect3DDevice9* device);

    uint32_t GetWidth() const { return m_Width; }
    uint32_t GetHeight() const { return m_Height; }
    uint32_t GetLevels() const { return m_Levels; }
    uint32_t GetUsage() const { return m_Usage; }
    D3DFORMAT GetFormat() const { return m_Format; }
    D3DPOOL GetPool() const { return m_Pool; }
    XString GetFileName() const { return m_FileName; }
    uint32_t GetSourceKind() const { return m_SourceKind; }
    // The stored pixel bytes (empty when there are none).
    const std::vector<uint8_t>& GetPixels() const { return m_Pixels; }

    // Each does nothing for an unchanged value; otherwise it stores the value and marks the
    // texture to be made again. Levels, usage, pool and file name also tell the texture's holders
    // (message 0x200000 with 1, 2, 0x10 and 0x20).
    void SetWidth(uint32_t width);
    void SetHeight(uint32_t height);
    void SetLevels(uint32_t levels);
    void SetUsage(uint32_t usage);
    void SetFormat(D3DFORMAT format);
    void SetPool(D3DPOOL pool);
    void SetFileName(const XString& fileName);
    // Leaving FromPixels drops the pixel bytes and zeroes Width and Height.
    void SetSourceKind(uint32_t kind);

    // Tells every holder of a reference to the texture that it changed (message 0x200000).
    void NotifyChange(uint32_t param);

protected:
    void ReleaseTexture();

    // Open to derived textures (the font makes its own texture in Recreate).
    IDirect3DDevice9* m_Device = nullptr;   // not owned
    IDirect3DTexture9* m_Texture = nullptr; // owned
    uint32_t m_SourceKind = FromFile;
    uint32_t m_Width = 0;
    uint32_t m_Height = 0;
    uint32_t m_Levels = 0;
    uint32_t m_Usage = 0;
    D3DFORMAT m_Format = D3DFMT_A8R8G8B8;
    D3DPOOL m_Pool = D3DPOOL_MANAGED;
    XString m_FileName;
    std::vector<uint8_t> m_Pixels;
    bool m_Made = false;

private:
    // Store-if-changed for the settings: a new value means the texture must be made again.
    template <class T> bool Remake(T& member, const T& value)
    {
        if (value == member)
            return false;
        member = value;
        m_Made = false;
        return true;
    }

    void LoadBitmap(XStream& stream, int64_t start);
    void LoadThroughD3DX(XStream& stream, int64_t start);
};

class XTextureDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XTextureDesc TextureDesc;
