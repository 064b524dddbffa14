// A control that owns child controls, keeps them in front-to-back order (index 0 is the
// front-most) and re-anchors them when it is resized.
#pragma once

#include "Components/XPtrArray.h"
#include "Gx/UI/GxControl.h"

namespace Gx::Ui
{
class GxFrame : public GxControl
{
public:
    // 300 by 200, no children.
    GxFrame(GxDesktop* desktop, GxFrame* parent);
    // Deletes the children.
    ~GxFrame() override;

    // The old size is already the size after the previous change.
    void SaveOldSize() override;
    // Moves or stretches each child by the change of size, as its anchors say.
    void Resized() override;
    // The deepest visible descendant under the point, the children tried from the front; never
    // the frame itself.
    GxControl* ControlAt(float x, float y) override;
    // The frame itself, then its visible children from the back-most to the front-most.
    void Paint(TCanvas* canvas) override;
    void Render(IDirect3DDevice9* device) override;

    // Appends the control (the back-most child), which becomes this frame's child and leaves any
    // other frame; returns its index. A control already here keeps its place and index. Null, the
    // frame itself and its ancestors are refused with -1: they would make the tree a loop.
    virtual int AddControl(GxControl* control);
    // Removes the child and deletes it; nothing for a control that is not a child.
    virtual void DeleteControl(GxControl* control);
    // Removes the child, keeping the order of the others, and returns it (no longer parented);
    // null when it is not a child.
    virtual GxControl* RemoveControl(GxControl* control);

    unsigned GetControlCount() const { return m_Children.GetCount(); }
    // An index at or past the count throws XException "Out of range.".
    GxControl* GetControl(unsigned index) const { return m_Children[index]; }
    int IndexOfControl(const GxControl* control) const { return m_Children.IndexOf(control); }

protected:
    // Moves a child to index 0, the children before it shifting back by one.
    void MoveToFront(unsigned index);
    // Deletes every child, front first, each leaving the list before it goes.
    void DeleteChildren();
    // Renders the visible children from the back-most to the front-most. A child may change the
    // list while it draws: each index is checked against the count as it is reached.
    void RenderChildren(IDirect3DDevice9* device);

    XPtrOwnArray<GxControl, 4> m_Children;
};
} // namespace Gx::Ui
