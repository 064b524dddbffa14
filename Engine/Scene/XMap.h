// One texture channel of a material: a texture bound to one texture stage with its sampler and
// texture-stage states and an optional texture-coordinate matrix. A map belongs to one material,
// which holds its texture reference and so hears of the texture's changes and deletion.
#pragma once

#include "Components/XMatrix.h"
#include "Engine/Scene/XBaseTexture.h"
#include "Engine/Scene/XRefManager.h"
#include "Platform/D3D9/D3D9.h"

#include <cstdint>

class XMaterial;
class XReader;
class XScene;
class XViewport;
class XWriter;

class XMap
{
public:
    // A map that disables its stage until configured: no texture, wrap addressing, point
    // filtering, COLOROP and ALPHAOP D3DTOP_DISABLE, identity UV matrix.
    explicit XMap(XMaterial* owner);
    XMap(const XMap&) = delete;
    XMap& operator=(const XMap&) = delete;

    XMaterial* GetOwner() const { return m_Owner; }
    XBaseTexture* GetTexture() const { return m_Texture.Get(); }
    // Compares the reference's target only: also safe while that target is being destroyed.
    bool Shows(const XRefManager* target) const { return m_Texture.GetTarget() == target; }
    // Changes the reference only; XMaterial::SetMapTexture also tells the material's dependents.
    void SetTexture(XBaseTexture* texture) { m_Texture.SetTarget(texture); }

    // States by their Direct3D type (sampler states 1-13; texture-stage states 1-11, 22-24,
    // 26-28, 32, floats as their bits). Other types read 0 and are not stored.
    DWORD GetSamplerState(D3DSAMPLERSTATETYPE type) const;
    void SetSamplerState(D3DSAMPLERSTATETYPE type, DWORD value);
    DWORD GetStageState(D3DTEXTURESTAGESTATETYPE type) const;
    void SetStageState(D3DTEXTURESTAGESTATETYPE type, DWORD value);
    const XMatrix& GetUVMatrix() const { return m_UVMatrix; }
    void SetUVMatrix(const XMatrix& matrix) { m_UVMatrix = matrix; }

    // Sets the stage's operations and arguments, the texture-coordinate index and transform, and
    // with a texture its address modes, border colour and filters before the texture binds itself.
    void Apply(unsigned frame, XViewport* viewport, unsigned stage);
    // Lets the texture unbind the stage.
    void Unapply(unsigned frame, XViewport* viewport, unsigned stage);

    // Chunk 0xA1230000: the texture's GUID, the UV matrix only when a texture transform is set,
    // then the stage states and the three filters. Address modes and the border colour are not
    // saved.
    void Save(XWriter& writer);
    // Reads chunk 0xA1230000 (any other id is ignored); the texture is looked up in the scene by
    // GUID or, in older files, by name (none without a scene). The owner then tells its
    // dependents that its maps changed (0x400000, 0).
    void Load(XScene* scene, XReader& reader);

private:
    static constexpr unsigned SamplerStateCount = 14; // D3DSAMP_DMAPOFFSET + 1
    static constexpr unsigned StageStateCount = 33;   // D3DTSS_CONSTANT + 1

    XMaterial* m_Owner;
    XReference<XBaseTexture> m_Texture;
    DWORD m_Sampler[SamplerStateCount] = {};
    DWORD m_Stage[StageStateCount] = {};
    XMatrix m_UVMatrix;
};
