#include "Engine/Scene/XCameraPreset.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Views/XViewport.h"

namespace
{
void ReadValue(XReader& reader, void* data, unsigned size)
{
    if (reader.GetBytesLeft() < size || reader.Read(data, size) != size)
        throw FileUtils::XIOError();
}
} // namespace

XCameraPreset::XCameraPreset()
    : Matrix(1.0f), FOV(XCamera::DefaultFOV), NearViewPlane(XCamera::DefaultNearViewPlane),
      FarViewPlane(XCamera::DefaultFarViewPlane), AspectRatio(XCamera::DefaultAspectRatio), Perspective(false)
{
}

void XCameraPreset::Save(XScene*, XWriter& writer) const
{
    writer.BeginChunk(ClassId::CameraPreset);
    writer.WriteChunk(XMeshNode::PidMatrix, &Matrix, sizeof Matrix);
    writer.WriteChunkFloat(XCamera::FOVChunk, FOV);
    writer.WriteChunkFloat(XCamera::NearViewPlaneChunk, NearViewPlane);
    writer.WriteChunkFloat(XCamera::FarViewPlaneChunk, FarViewPlane);
    writer.WriteChunkFloat(XCamera::AspectRatioChunk, AspectRatio);
    writer.WriteChunkU8(XCamera::PerspectiveChunk, Perspective);
    writer.WriteChunkString(NameChunk, Name);
    writer.EndChunk();
}

void XCameraPreset::Load(XScene*, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::CameraPreset)
        return;
    *this = XCameraPreset();
    while (reader.NextChunk())
    {
        try
        {
            ReadField(reader);
        }
        catch (...)
        {
            // Leave the reader on this chunk's level, so the caller can go on with the next one.
            reader.EndChunk();
            throw;
        }
        reader.EndChunk();
    }
}

void XCameraPreset::ReadField(XReader& reader)
{
    switch (reader.GetChunkId())
    {
    case XMeshNode::PidMatrix:
        ReadValue(reader, &Matrix, sizeof Matrix);
        break;
    case XCamera::FOVChunk:
        ReadValue(reader, &FOV, sizeof FOV);
        break;
    case XCamera::NearViewPlaneChunk:
        ReadValue(reader, &NearViewPlane, sizeof NearViewPlane);
        break;
    case XCamera::FarViewPlaneChunk:
        ReadValue(reader, &FarViewPlane, sizeof FarViewPlane);
        break;
    case XCamera::AspectRatioChunk:
        ReadValue(reader, &AspectRatio, sizeof AspectRatio);
        break;
    case XCamera::PerspectiveChunk:
    {
        uint8_t flag = 0;
        ReadValue(reader, &flag, sizeof flag);
        Perspective = flag != 0;
        break;
    }
    case NameChunk:
        reader.ReadString(Name, MaxNameLength);
        break;
    default:
        break;
    }
}

// ---- the scene's list --------------------------------------------------------------------------

unsigned XCameraPresetList::Create(XViewport* viewport, const XString& name)
{
    XCamera* camera = viewport ? viewport->GetCamera() : nullptr;
    if (!camera)
        return 0;
    XCameraPreset* preset = new XCameraPreset;
    try
    {
        camera->GetPreset(*preset);
        preset->Name = name;
        return m_Presets.Add(preset);
    }
    catch (...)
    {
        delete preset;
        throw;
    }
}

bool XCameraPresetList::Delete(unsigned index)
{
    return m_Presets.Delete(index);
}

bool XCameraPresetList::Delete(const XString& name)
{
    return Delete(GetIndex(name));
}

void XCameraPresetList::Clear()
{
    m_Presets.Clear();
}

unsigned XCameraPresetList::GetCount() const
{
    return m_Presets.GetCount();
}

unsigned XCameraPresetList::GetIndex(const XString& name) const
{
    for (uint32_t i = 0; i < m_Presets.GetCount(); ++i)
        if (m_Presets.GetData()[i]->Name == name)
            return i;
    return NotFound;
}

XCameraPreset* XCameraPresetList::Get(unsigned index) const
{
    return m_Presets[index];
}

XCameraPreset* XCameraPresetList::Get(const XString& name) const
{
    return m_Presets[GetIndex(name)];
}

void XCameraPresetList::Apply(XViewport* viewport, unsigned index)
{
    XCamera* camera = viewport ? viewport->GetCamera() : nullptr;
    if (!camera)
        return;
    const XCameraPreset* preset = Get(index);
    camera->SetPreset(*preset);
    viewport->SetCaption(XString(u"Пресет: ") + preset->Name);
}

void XCameraPresetList::Apply(XViewport* viewport, const XString& name)
{
    XCamera* camera = viewport ? viewport->GetCamera() : nullptr;
    if (!camera)
        return;
    Apply(viewport, GetIndex(name));
}

void XCameraPresetList::Save(XScene* scene, XWriter& writer) const
{
    if (m_Presets.GetCount() == 0)
        return;
    writer.BeginChunk(ChunkId);
    for (uint32_t i = 0; i < m_Presets.GetCount(); ++i)
        m_Presets.GetData()[i]->Save(scene, writer);
    writer.EndChunk();
}

void XCameraPresetList::Load(XScene* scene, XReader& reader)
{
    while (reader.NextChunk())
    {
        XCameraPreset* preset = new XCameraPreset;
        try
        {
            preset->Load(scene, reader);
            m_Presets.Add(preset);
        }
        catch (const XException&)
        {
            delete preset;
        }
        catch (...)
        {
            delete preset;
            throw;
        }
        reader.EndChunk();
    }
}
