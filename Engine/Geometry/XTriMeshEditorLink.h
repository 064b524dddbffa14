// The triangle-mesh editor as the triangle-mesh object uses it: whether an editor the scene holds
// under the name "XTriMeshEditor" is one (or derived from it), a new one for a scene, and binding
// it to the object and node it edits.
//
// The editor lives with the views and editors and installs the real link when it is built, so
// the object needs no editor to build or link. Until then the default link knows no editor: none
// is taken, none is made, and XTriMesh::Edit does nothing. Tests install recording links.
#pragma once

class XBaseEditor;
class XMeshNode;
class XScene;
class XTriMesh;

class XTriMeshEditorLink
{
public:
    virtual bool IsTriMeshEditor(XBaseEditor* editor) = 0;
    // A new editor for the scene, not yet registered (the scene takes it over on AddEditor); null
    // when none can be made.
    virtual XBaseEditor* CreateTriMeshEditor(XScene* scene) = 0;
    // SetMesh, then SetNode.
    virtual void BindTriMeshEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node) = 0;

    // The link in use; never null.
    static XTriMeshEditorLink* Get();
    // Installs a link (null restores the default) and returns the one it replaces. The link must
    // outlive its use.
    static XTriMeshEditorLink* Install(XTriMeshEditorLink* link);

protected:
    ~XTriMeshEditorLink() = default;
};
