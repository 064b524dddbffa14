// The dock manager of a dock site: the site's docked controls tiled in a tree of zones. A zone
// holds one control under a grabber band, or runs its child zones side by side (left to right)
// or stacked (top to bottom), with a split bar between two shown neighbours.
#pragma once

#include "Platform/Vcl/Controls.h"

#include <memory>
#include <vector>

// What lies under a point of the site.
enum TDockHitKind
{
    dhNone,
    dhGrabber, // a client's grabber band (dragging it docks the client elsewhere)
    dhClose,   // the close button at the band's far end
    dhSplitter // a split bar between two zones
};

struct TDockHit
{
    TDockHitKind Kind = dhNone;
    TControl* Control = nullptr; // the client of the grabber or close button
};

class TDockTree
{
public:
    // The grabber band's thickness, the split bar's width, and the least size a zone keeps along
    // its parent's direction while a split bar is dragged.
    static constexpr int GrabberSize = 12;
    static constexpr int SplitterWidth = 4;
    static constexpr int MinZoneSize = 24;

    explicit TDockTree(TWinControl* site);
    ~TDockTree();
    TDockTree(const TDockTree&) = delete;
    TDockTree& operator=(const TDockTree&) = delete;

    TWinControl* DockSite() const { return m_site; }
    // Places the client beside DropCtl's zone (or beside every zone for null) on the DropAlign
    // side; the first client fills the site. alNone and alClient fill an empty site and go to the
    // right of the rest otherwise. A client already held moves.
    void InsertControl(TControl* Control, TAlign InsertAt, TControl* DropCtl);
    // Takes the client out: its space goes to its neighbour, and a zone left with one child
    // gives way to it. Safe for a client that is being freed (only its address is used).
    void RemoveControl(TControl* Control);
    bool Holds(const TControl* Control) const;
    int ClientCount() const;
    int VisibleClientCount() const;
    // Where a client dropped with the pointer over DropCtl (null: over no client) on the
    // DropAlign side would go, in screen coordinates.
    void PositionDockRect(TControl* Client, TControl* DropCtl, TAlign DropAlign, TRect& DockRect) const;
    // The client's zone (grabber included), in the site's client coordinates; false when the
    // control is not held or takes no space.
    bool GetControlBounds(TControl* Control, TRect& Bounds) const;
    // The held client whose zone (grabber included) holds the point, or null.
    TControl* ControlAtPos(const TPoint& point) const;
    TDockHit HitTest(const TPoint& point) const;
    // The grabber band and the close button of a shown client (site client coordinates).
    TRect GrabberRect(TControl* Control) const;
    TRect CloseButtonRect(TControl* Control) const;
    // Lays the zones out in the area the site gives them and places the clients; with Force the
    // clients are placed again even when the area has not changed.
    void SetArea(const TRect& area) { m_area = area; }
    const TRect& Area() const { return m_area; }
    void ResetBounds(bool Force);
    // Changes made between the two are laid out once, at the end.
    void BeginUpdate();
    void EndUpdate();
    // Draws every shown client's grabber band on the site's client area.
    void PaintSite(HDC dc);
    // Mouse messages of the site (client coordinates); true when the manager took the message.
    bool MouseMessage(TMessage& Message);
    // The cursor the site shows at a point (client coordinates): the split cursor over a split
    // bar and while one is dragged, else crDefault.
    TCursor CursorAt(const TPoint& point) const;
    // Whether the band runs along the left of each zone (a site aligned to the top or bottom)
    // rather than along its top.
    bool GrabbersOnLeft() const;

private:
    struct Zone;
    // Calls `visit` with each zone (AnyLeaf: each client's zone) until it answers true; whether
    // one did.
    template <typename F> bool AnyZone(F visit) const;
    template <typename F> bool AnyLeaf(F visit) const;
    Zone* FindZone(const TControl* control) const;
    bool ZoneVisible(const Zone* zone) const;
    void Layout(Zone* zone, const TRect& rect);
    void PlaceClients(Zone* zone);
    void Changed();
    void Normalize(Zone* zone);
    void Collapse(Zone* zone);
    void Replace(Zone* old, std::unique_ptr<Zone> with);
    // The split bar under the point: the zone whose children it parts, and the shown children
    // before and after it.
    bool SplitterAt(const TPoint& point, Zone*& parent, Zone*& before, Zone*& after) const;
    void DragSplitter(int position);
    void EndTracking();

    TWinControl* m_site;
    std::unique_ptr<Zone> m_root;
    TRect m_area;
    int m_updating = 0;
    // Mouse tracking on the site.
    TControl* m_closeControl = nullptr; // the client whose close button is held
    bool m_closePushed = false;
    Zone* m_splitParent = nullptr; // the zone whose split bar is dragged
    Zone* m_splitBefore = nullptr;
    Zone* m_splitAfter = nullptr;
    int m_splitGrab = 0; // where the bar was grabbed, from its leading edge
};
