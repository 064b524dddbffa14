#include "Engine/Views/XViewText.h"

#include "Engine/Scene/XFont.h"
#include "Platform/D3D9/D3D9.h"

namespace XViewText
{
uint32_t BuildVertices(XTextVertices& vertices, float x, float y, uint32_t colour, const char* text,
                       uint32_t length, const XGlyph* glyphs, uint32_t first, uint32_t last, float h)
{
    if (!text || !glyphs)
        return 0;
    float penX = x;
    float penY = y;
    uint32_t drawn = 0;
    for (uint32_t i = 0; i < length; ++i)
    {
        auto c = static_cast<uint8_t>(text[i]);
        if (c == '\n')
        {
            penX = x;
            penY += h;
            continue;
        }
        if (c < first || c > last)
            continue;
        const XGlyph& g = glyphs[c - first];
        for (const XText2DVertex& vertex : GlyphQuad(penX, penY, TextZ, h, colour, g))
            vertices.Add(vertex);
        penX += static_cast<float>(g.advance);
        ++drawn;
    }
    return drawn;
}

void Render(IDirect3DDevice9* device, float x, float y, uint32_t colour, const StrUtils::XBaseString<char>& text,
            XFont* font)
{
    if (!device || !font || !font->GetChars())
        return;
    IDirect3DTexture9* texture = font->GetD3DTexture();
    if (!texture)
        return;
    XTextVertices vertices;
    vertices.SetCapacity(6 * text.Length());
    uint32_t drawn = BuildVertices(vertices, x, y, colour, text.c_str(), text.Length(), font->GetChars(),
                                   font->GetStartChar(), font->GetEndChar(),
                                   static_cast<float>(font->GetCharHeight()));
    if (drawn == 0)
        return;

    device->SetVertexShader(nullptr);
    device->SetFVF(XTEXT2D_FVF);
    device->SetPixelShader(nullptr);
    device->SetStreamSource(0, nullptr, 0, sizeof(XText2DVertex));

    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 8);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    device->SetRenderState(D3DRS_CLIPPING, TRUE);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    device->SetTexture(0, texture);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2 * drawn, &vertices[0], sizeof(XText2DVertex));
    device->SetTexture(0, nullptr);
}
} // namespace XViewText
