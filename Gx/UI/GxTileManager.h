// The scene's registry of image tiles: named lists of tiles, each list with the texture its tiles
// are cut from. Textures belong to one device: they go when a device is created or released and
// are made again by whoever fills the lists.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XPtrArray.h"

struct IDirect3DDevice9;
struct IDirect3DTexture9;

namespace Gx::Ui
{
// One image tile of a list: two texts (a name and what it shows, as the list's user fills them).
class GxTile
{
public:
    GxTile() = default;
    GxTile(const StrUtils::XBaseString<WCHAR>& name, const StrUtils::XBaseString<WCHAR>& value)
        : Name(name), Value(value)
    {
    }

    StrUtils::XBaseString<WCHAR> Name;
    StrUtils::XBaseString<WCHAR> Value;
};

// Tiles cut from one texture, with four texts describing the list (its name and image source, as
// its user fills them). Owns its tiles and one reference to its texture.
class GxTileList
{
public:
    GxTileList() = default;
    // Releases the texture.
    virtual ~GxTileList();
    GxTileList(const GxTileList&) = delete;
    GxTileList& operator=(const GxTileList&) = delete;

    // Stores the device and releases the texture, which was made for another one.
    virtual void SetDevice(IDirect3DDevice9* device);
    IDirect3DDevice9* GetDevice() const { return m_Device; }
    // Takes over the caller's reference; the texture held before is released.
    void SetTexture(IDirect3DTexture9* texture);
    IDirect3DTexture9* GetTexture() const { return m_Texture; }
    void ReleaseTexture();

    // Appends a tile the list then owns; returns its index (-1 for null, which is not kept).
    int AddTile(GxTile* tile) { return tile ? static_cast<int>(m_Tiles.Add(tile)) : -1; }
    unsigned GetTileCount() const { return m_Tiles.GetCount(); }
    // An index at or past the count throws XException "Out of range.".
    GxTile* GetTile(unsigned index) const { return m_Tiles[index]; }
    void ClearTiles() { m_Tiles.Clear(); }

    StrUtils::XBaseString<WCHAR> Text[4];

private:
    IDirect3DDevice9* m_Device = nullptr;
    IDirect3DTexture9* m_Texture = nullptr;
    XPtrOwnArray<GxTile, 16> m_Tiles;
};

class GxTileManager
{
public:
    GxTileManager() = default;
    virtual ~GxTileManager() = default;
    GxTileManager(const GxTileManager&) = delete;
    GxTileManager& operator=(const GxTileManager&) = delete;

    // Stores the device and gives it to every list (which releases its texture).
    virtual void CreateDevice(IDirect3DDevice9* device);
    // Releases every list's texture and clears every device, the manager's included.
    virtual void ReleaseDevice(IDirect3DDevice9* device);
    virtual void InvalidateDevice(IDirect3DDevice9* device);
    virtual void RestoreDevice(IDirect3DDevice9* device);

    // Appends a list the manager then owns; it takes the manager's device. Returns its index
    // (-1 for null, which is not kept).
    int AddList(GxTileList* list);
    unsigned GetListCount() const { return m_Lists.GetCount(); }
    // An index at or past the count throws XException "Out of range.".
    GxTileList* GetList(unsigned index) const { return m_Lists[index]; }
    void DeleteList(unsigned index) { m_Lists.Delete(index); }

    StrUtils::XBaseString<WCHAR> GetName() const { return m_Name; }
    void SetName(const StrUtils::XBaseString<WCHAR>& name) { m_Name = name; }
    IDirect3DDevice9* GetDevice() const { return m_Device; }

private:
    XPtrOwnArray<GxTileList, 16> m_Lists;
    StrUtils::XBaseString<WCHAR> m_Name;
    IDirect3DDevice9* m_Device = nullptr;
};
} // namespace Gx::Ui
