// A scene for tests of the skin modifier: the scene-link double, with skin editors made as
// recording editors named "XSkinEditor" and every binding recorded.
#pragma once

#include "tests/support/SceneLinkDouble.h"

#include <vector>

class SkinLinkDouble : public SceneLinkDouble
{
public:
    bool IsSkinEditor(XBaseEditor* editor) override;
    XBaseEditor* CreateSkinEditor(XScene* scene) override;
    void BindSkinEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node,
                        XSkinModifier* modifier) override;

    // One record per BindSkinEditor call.
    struct Binding
    {
        XBaseEditor* editor;
        XTriMesh* mesh;
        XMeshNode* node;
        XSkinModifier* modifier;
    };
    std::vector<Binding> bindings;
    // The skin editors made so far (registered through AddEditor, which owns them).
    std::vector<XBaseEditor*> made;
};
