#include "tests/support/PointListLinkDouble.h"

#include <algorithm>

bool PointListLinkDouble::IsPointListEditor(XBaseEditor* editor)
{
    return std::find(made.begin(), made.end(), editor) != made.end();
}

XBaseEditor* PointListLinkDouble::CreatePointListEditor(XScene* scene)
{
    calls.push_back("Create");
    made.push_back(new RecordingEditor(scene, u"XPointListEditor"));
    return made.back();
}

void PointListLinkDouble::BindPointListEditor(XBaseEditor* editor, XBaseMesh* mesh, XMeshNode* node)
{
    calls.push_back("Bind");
    binds.push_back({editor, mesh, node});
}
