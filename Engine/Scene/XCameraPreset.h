// Camera presets: named copies of a camera's matrix and lens values, kept by the scene, saved in
// its file and applied to the camera of the active viewport. XCameraPresetList holds a scene's
// presets and carries out its preset operations on the viewport the scene passes (its view's
// active viewport, null when there is none).
#pragma once

#include "Components/StrUtils.h"
#include "Components/XMatrix.h"
#include "Components/XPtrArray.h"

#include <cstdint>

class XReader;
class XScene;
class XViewport;
class XWriter;

class XCameraPreset
{
public:
    static constexpr uint32_t NameChunk = 0x12800001;
    // Names read from a chunk are bounded before anything is allocated for them.
    static constexpr unsigned MaxNameLength = 1024;

    // Empty name, identity matrix, the camera's lens defaults.
    XCameraPreset();
    XCameraPreset(const XCameraPreset&) = default;
    XCameraPreset& operator=(const XCameraPreset&) = default;

    // Chunk 0x12800000: the matrix (0x36540007, 64 bytes), the four lens floats
    // (0x12700001-0x12700004), the projection kind (0x12700005, u8) and the name (0x12800001).
    void Save(XScene* scene, XWriter& writer) const;
    // Called with the reader on a chunk. Anything but 0x12800000 reads nothing; there every field
    // starts from its default and the sub-chunks present are read as they are (no clamping).
    // A field chunk too short for its value: FileUtils::XIOError; a name over MaxNameLength:
    // XException "String too long.".
    void Load(XScene* scene, XReader& reader);

    StrUtils::XBaseString<WCHAR> Name;
    XMatrix Matrix;
    float FOV;
    float NearViewPlane;
    float FarViewPlane;
    float AspectRatio;
    bool Perspective;

private:
    // One sub-chunk of the preset's chunk, the reader standing in it.
    void ReadField(XReader& reader);
};

class XCameraPresetList
{
public:
    static constexpr uint32_t ChunkId = 0x4E43535F; // the scene file's preset chunk
    static constexpr uint32_t NotFound = 0xFFFFFFFF;

    // A preset from the viewport's camera, named name (duplicates allowed), appended; its index.
    // Without a viewport or a camera in it nothing happens and 0 is returned.
    unsigned Create(XViewport* viewport, const StrUtils::XBaseString<WCHAR>& name);
    // False for an index at or past the count (or an unknown name); otherwise the preset is
    // destroyed and the later ones move down.
    bool Delete(unsigned index);
    bool Delete(const StrUtils::XBaseString<WCHAR>& name);
    void Clear();
    unsigned GetCount() const;
    // The first preset with this name (case-sensitive), or NotFound.
    unsigned GetIndex(const StrUtils::XBaseString<WCHAR>& name) const;
    // An index at or past the count or an unknown name: XException "Out of range.".
    XCameraPreset* Get(unsigned index) const;
    XCameraPreset* Get(const StrUtils::XBaseString<WCHAR>& name) const;
    // The viewport's camera takes the preset (SetPreset) and the viewport's caption becomes
    // "Пресет: " and the name. Without a viewport or a camera nothing happens, not even the range
    // check.
    void Apply(XViewport* viewport, unsigned index);
    void Apply(XViewport* viewport, const StrUtils::XBaseString<WCHAR>& name);

    // Chunk 0x4E43535F with every preset in order, only when there is one.
    void Save(XScene* scene, XWriter& writer) const;
    // Called with the reader inside chunk 0x4E43535F: each child chunk becomes a preset appended
    // to the list; a preset whose chunk is damaged is dropped and the next one read.
    void Load(XScene* scene, XReader& reader);

private:
    XPtrOwnArray<XCameraPreset, 8> m_Presets;
};
