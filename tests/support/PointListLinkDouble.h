// A scene link for objects edited with the control-point editor: the scene double, and
// "XPointListEditor" editors made as recording editors. Binding records the object and node
// handed to the editor.
#pragma once

#include "tests/support/SceneLinkDouble.h"

class PointListLinkDouble : public SceneLinkDouble
{
public:
    bool IsPointListEditor(XBaseEditor* editor) override;
    XBaseEditor* CreatePointListEditor(XScene* scene) override;
    void BindPointListEditor(XBaseEditor* editor, XBaseMesh* mesh, XMeshNode* node) override;

    // Editors made by CreatePointListEditor (the scene double owns them once added).
    std::vector<XBaseEditor*> made;
    // Each bind: editor, mesh, node.
    struct Bind
    {
        XBaseEditor* editor;
        XBaseMesh* mesh;
        XMeshNode* node;
    };
    std::vector<Bind> binds;
};
