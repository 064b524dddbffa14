// The class library's menus: items with a caption and a click event, and the popup menu that
// shows them in a window of our own drawing at a screen point.
#pragma once

#include "Platform/Vcl/Forms.h"

#include <vector>

// One entry of a menu; the popup menu's Items() is the root that holds the entries.
class TMenuItem : public TComponent
{
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const UnicodeString& Caption() const { return m_caption; }
    void SetCaption(const UnicodeString& caption) { m_caption = caption; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }

    int Count() const { return static_cast<int>(m_items.size()); }
    TMenuItem* Items(int index) const { return m_items.at(static_cast<size_t>(index)); }
    TMenuItem* Parent() const { return m_parent; }
    // Appends the item (taking it from a former parent); the parent frees it with itself.
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);

    TNotifyEvent OnClick;
    virtual void Click();

private:
    UnicodeString m_caption;
    bool m_enabled = true;
    TMenuItem* m_parent = nullptr;
    std::vector<TMenuItem*> m_items;
};

class TPopupMenu;

// The window of a shown popup menu: one row per item, the row under the pointer (or chosen with
// the arrow keys) highlighted. A left release on an enabled row or Enter chooses it; Escape, a
// press outside the window or on no row closes it without a choice.
class TPopupMenuWindow : public TCustomForm
{
public:
    TPopupMenuWindow(TPopupMenu* menu);

    int RowHeight() const { return m_rowHeight; }
    // The row at a client point, -1 when none.
    int RowAt(int y) const;
    int HotIndex() const { return m_hot; }
    // The chosen item after the window closed; null when closed without a choice.
    TMenuItem* Chosen() const { return m_chosen; }

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTALLKEYS; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void SetHot(int index);
    void Choose(int index);
    void CloseWithout();

    TPopupMenu* m_menu;
    int m_rowHeight = 20;
    int m_hot = -1;
    TMenuItem* m_chosen = nullptr;
};

class TPopupMenu : public TComponent
{
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;

    TMenuItem* Items() const { return m_items; }
    // The control whose context menu asked for the menu last.
    TComponent* PopupComponent() const { return m_popupComponent; }
    void SetPopupComponent(TComponent* component) { m_popupComponent = component; }

    // Fired before the menu shows.
    TNotifyEvent OnPopup;
    // Fired once the menu's window shows, with the window in Window() (tests drive it from here).
    TNotifyEvent OnShow;

    // Shows the items at the screen point (moved inside the screen) and waits until the menu
    // closes; a chosen item's Click runs after the window has gone. Nothing shows without items.
    virtual void Popup(int X, int Y);
    // The menu's window while it shows, else null.
    TPopupMenuWindow* Window() const { return m_window; }

private:
    TMenuItem* m_items;
    TComponent* m_popupComponent = nullptr;
    TPopupMenuWindow* m_window = nullptr;
};
