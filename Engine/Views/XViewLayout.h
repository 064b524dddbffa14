// The arrangement of a four-viewport view's ten children: two containers C0 and C1, the viewports
// V0..V3 and the splitters SP0..SP3 (SP3 never shows). Twelve layouts place them with the class
// library's alignment; the proportions of the containers and viewports are recorded after every
// placement and splitter move, so that a resize puts the splitters back at the same fractions.
#pragma once

#include "Components/XVertex.h"
#include "Platform/Vcl/ExtCtrls.h"

#include <vector>

class XViewLayout
{
public:
    // The 2 x 2 arrangement; any number outside 0-10 stands for it and is stored as this.
    static constexpr int Grid = 11;

    // Children in the fixed order C0, C1, V0..V3, SP0..SP3; the view is their parent.
    XViewLayout(TWinControl* view, TWinControl* c0, TWinControl* c1, TControl* const viewports[4],
                TSplitter* const splitters[4]);

    int Layout() const { return m_layout; }
    int SplitterWidth() const { return m_splitter; }
    void SetSplitterWidth(int width) { m_splitter = width < 0 ? 0 : width; }
    bool Tracking() const { return m_tracking; }
    void SetTracking(bool on) { m_tracking = on; }
    // The recorded fractions of C0, C1, V0..V3: {left, top, right, bottom} of the view's size.
    const XRect& Relative(int index) const { return m_relative[index]; }

    // Stores n (11 for an unknown one), hides every child, places those of the layout and records.
    // A viewport the layout leaves hidden keeps its size: no switch resizes it on the way.
    void Apply(int n);
    // A splitter moved (or, without a sender, a placement ended): in the 2 x 2 layout the two row
    // splitters are held level; then the fractions are recorded. Nothing while tracking is off.
    void SplitterMoved(TObject* sender);
    // Sets the visible containers and viewports from their fractions of the view's new size.
    void Resize();

private:
    void Place(TControl* control, TWinControl* parent, int left, int top, int width, int height, TAlign align);
    TControl* Child(int index) const; // 0 C0, 1 C1, 2..5 V0..V3, 6..9 SP0..SP3

    TWinControl* m_view;
    TWinControl* m_c0;
    TWinControl* m_c1;
    TControl* m_v[4];
    TSplitter* m_sp[4];
    XRect m_relative[6] = {};
    std::vector<TControl*> m_placed; // the shown children in the order of their placement
    bool m_tracking = false;
    int m_layout = Grid;
    int m_splitter = 3;
};
