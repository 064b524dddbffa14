#include "tests/support/SkinLinkDouble.h"

#include <algorithm>

bool SkinLinkDouble::IsSkinEditor(XBaseEditor* editor)
{
    return std::find(made.begin(), made.end(), editor) != made.end();
}

XBaseEditor* SkinLinkDouble::CreateSkinEditor(XScene* scene)
{
    calls.push_back("Create skin");
    made.push_back(new RecordingEditor(scene, u"XSkinEditor"));
    return made.back();
}

void SkinLinkDouble::BindSkinEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node,
                                    XSkinModifier* modifier)
{
    calls.push_back("Bind");
    bindings.push_back({editor, mesh, node, modifier});
}
