// The tree view: nodes, expansion on demand, sorting, drawing and the keyboard and mouse.
#include "Platform/Vcl/ComCtrls.h"

#include <algorithm>

// ---- Nodes -----------------------------------------------------------------------------------

TTreeNode::TTreeNode(TTreeNodes* owner) : m_owner(owner)
{
}

TTreeNode::~TTreeNode()
{
    for (TTreeNode* child : m_children)
        delete child;
}

int TTreeNode::Level() const
{
    int level = 0;
    for (TTreeNode* p = m_parent; p; p = p->m_parent)
        ++level;
    return level;
}

int TTreeNode::Index() const
{
    const auto& siblings = m_parent ? m_parent->m_children : m_owner->m_roots;
    auto it = std::find(siblings.begin(), siblings.end(), this);
    return it == siblings.end() ? -1 : static_cast<int>(it - siblings.begin());
}

TCustomTreeView* TTreeNode::TreeView() const
{
    return m_owner->Owner();
}

void TTreeNode::SetHasChildren(bool has)
{
    m_hasChildren = has;
    TreeView()->Invalidate();
}

bool TTreeNode::Selected() const
{
    return TreeView()->Selected() == this;
}

void TTreeNode::Expand(bool recurse)
{
    if (!m_expanded && HasChildren())
    {
        if (!TreeView()->CanExpand(this))
            return;
        // A node that turned out to hold nothing loses its button.
        if (m_children.empty())
            m_hasChildren = false;
        else
            m_expanded = true;
        TreeView()->ContentsChanged();
    }
    if (recurse)
        for (TTreeNode* child : m_children)
            child->Expand(true);
}

void TTreeNode::Collapse(bool recurse)
{
    if (m_expanded)
    {
        m_expanded = false;
        // A selection inside goes to this node.
        TTreeNode* selected = TreeView()->Selected();
        for (TTreeNode* p = selected ? selected->m_parent : nullptr; p; p = p->m_parent)
            if (p == this)
            {
                TreeView()->SetSelected(this);
                break;
            }
        TreeView()->ContentsChanged();
    }
    if (recurse)
        for (TTreeNode* child : m_children)
            child->Collapse(true);
}

void TTreeNode::DeleteChildren()
{
    // Measured once, when all are gone.
    m_owner->BeginUpdate();
    while (!m_children.empty())
        m_owner->Delete(m_children.back());
    m_expanded = false;
    m_owner->EndUpdate();
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const UnicodeString& text)
{
    TTreeNode* node = m_owner->CreateNode();
    node->Text = text;
    node->m_parent = parent;
    (parent ? parent->m_children : m_roots).push_back(node);
    // A child of a closed node changes no row (only, at most, its parent's button).
    if (m_update > 0)
        m_owner->m_measured = false;
    else if (m_owner->Shown(node))
        m_owner->ContentsChanged(node);
    else
        m_owner->Invalidate();
    return node;
}

void TTreeNodes::Delete(TTreeNode* node)
{
    if (!node)
        return;
    m_owner->NodeGone(node);
    auto& siblings = node->m_parent ? node->m_parent->m_children : m_roots;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    delete node;
    if (m_update > 0)
        m_owner->m_measured = false;
    else
        m_owner->ContentsChanged();
}

void TTreeNodes::Clear()
{
    BeginUpdate();
    while (!m_roots.empty())
        Delete(m_roots.back());
    EndUpdate();
}

void TTreeNodes::EndUpdate()
{
    if (m_update > 0 && --m_update == 0)
        m_owner->ContentsChanged();
}

// ---- The view --------------------------------------------------------------------------------

namespace
{
// The room an image takes before the text, the label's padding around its text, and the blank
// kept past the widest label when the rows scroll sideways.
constexpr int ImageSpace = 19;
constexpr int LabelPad = 4;
constexpr int RightMargin = 2;
} // namespace

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TCustomControl(AOwner), m_nodes(std::make_unique<TTreeNodes>(this))
{
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(0, 0, 200, 250);
    Vcl::InstallShellBridges();
}

TCustomTreeView::~TCustomTreeView()
{
    m_selected = nullptr;
    m_nodes.reset();
}

TTreeNode* TCustomTreeView::CreateNode()
{
    return new TTreeNode(m_nodes.get());
}

bool TCustomTreeView::CanExpand(TTreeNode*)
{
    return true;
}

void TCustomTreeView::Change(TTreeNode* Node)
{
    OnChange(this, Node);
}

void TCustomTreeView::NodeGone(TTreeNode* node)
{
    // The selection never points at a node that goes (or one inside it).
    for (TTreeNode* p = m_selected; p; p = p->m_parent)
        if (p == node)
        {
            m_selected = nullptr;
            break;
        }
}

void TCustomTreeView::SetSelected(TTreeNode* node)
{
    if (node == m_selected)
        return;
    m_selected = node;
    // Its parents open so that it shows.
    for (TTreeNode* p = node ? node->m_parent : nullptr; p; p = p->m_parent)
        if (!p->m_expanded && !p->m_children.empty())
        {
            p->m_expanded = true;
            m_measured = false;
        }
    Relayout();
    if (node)
        MakeVisible(node);
    Invalidate();
    Change(node);
}

void TCustomTreeView::SetShowButtons(bool show)
{
    m_showButtons = show;
    Invalidate();
}

void TCustomTreeView::SetShowLines(bool show)
{
    m_showLines = show;
    Invalidate();
}

void TCustomTreeView::SetShowRoot(bool show)
{
    m_showRoot = show;
    ContentsChanged();
}

void TCustomTreeView::SetImages(TCustomImageList* images)
{
    m_images = images;
    ContentsChanged();
}

namespace
{
int TextCompare(TTreeNode* a, TTreeNode* b, intptr_t data)
{
    auto* view = reinterpret_cast<TCustomTreeView*>(data);
    if (view && view->OnCompare)
    {
        int compare = 0;
        view->OnCompare(view, a, b, 0, compare);
        return compare;
    }
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->Text.c_str(), -1, b->Text.c_str(), -1) - 2;
}
} // namespace

void TCustomTreeView::SortLevel(std::vector<TTreeNode*>& level, TTVCompare compare, intptr_t data, bool recurse)
{
    std::stable_sort(level.begin(), level.end(), [&](TTreeNode* a, TTreeNode* b) { return compare(a, b, data) < 0; });
    if (recurse)
        for (TTreeNode* node : level)
            SortLevel(node->m_children, compare, data, true);
}

bool TCustomTreeView::AlphaSort(bool recurse)
{
    return CustomSort(TextCompare, reinterpret_cast<intptr_t>(this), recurse);
}

bool TCustomTreeView::CustomSort(TTVCompare compare, intptr_t data, bool recurse)
{
    if (!compare)
    {
        compare = TextCompare;
        data = reinterpret_cast<intptr_t>(this);
    }
    SortLevel(m_nodes->m_roots, compare, data, recurse);
    Invalidate();
    return true;
}

std::vector<TTreeNode*> TCustomTreeView::VisibleNodes() const
{
    std::vector<TTreeNode*> shown;
    std::vector<TTreeNode*> stack(m_nodes->m_roots.rbegin(), m_nodes->m_roots.rend());
    while (!stack.empty())
    {
        TTreeNode* node = stack.back();
        stack.pop_back();
        shown.push_back(node);
        if (node->m_expanded)
            stack.insert(stack.end(), node->m_children.rbegin(), node->m_children.rend());
    }
    return shown;
}

int TCustomTreeView::RowHeight() const
{
    return std::max(Canvas()->TextHeight(u"Wg") + 2, 18);
}

int TCustomTreeView::NodeLeft(TTreeNode* node) const
{
    return 2 + (node->Level() + (m_showRoot ? 1 : 0)) * Indent();
}

int TCustomTreeView::TextLeft(TTreeNode* node) const
{
    HIMAGELIST images = m_images ? m_images->Handle() : m_imageList;
    int image = node == m_selected ? node->SelectedIndex : node->ImageIndex;
    return NodeLeft(node) + (images && image >= 0 ? ImageSpace : 0);
}

int TCustomTreeView::NodeRight(TTreeNode* node) const
{
    // Room for the image whether the node is selected or not, so that selecting scrolls nothing.
    HIMAGELIST images = m_images ? m_images->Handle() : m_imageList;
    bool image = images && (node->ImageIndex >= 0 || node->SelectedIndex >= 0);
    Canvas()->Font()->Assign(Font());
    return NodeLeft(node) + (image ? ImageSpace : 0) + Canvas()->TextWidth(node->Text) + LabelPad + RightMargin;
}

bool TCustomTreeView::Shown(TTreeNode* node) const
{
    for (TTreeNode* p = node->m_parent; p; p = p->m_parent)
        if (!p->m_expanded)
            return false;
    return true;
}

int TCustomTreeView::VisibleRowCount() const
{
    return std::max(0, ClientHeight() / RowHeight());
}

int TCustomTreeView::ContentWidth()
{
    if (!m_measured)
    {
        m_contentWidth = 0;
        for (TTreeNode* node : VisibleNodes())
            m_contentWidth = std::max(m_contentWidth, NodeRight(node));
        m_measured = true;
    }
    return m_contentWidth;
}

TTreeNode* TCustomTreeView::GetNodeAt(int, int y)
{
    std::vector<TTreeNode*> shown = VisibleNodes();
    int row = m_top + y / RowHeight();
    return y >= 0 && row < static_cast<int>(shown.size()) ? shown[static_cast<size_t>(row)] : nullptr;
}

void TCustomTreeView::MakeVisible(TTreeNode* node)
{
    std::vector<TTreeNode*> shown = VisibleNodes();
    auto it = std::find(shown.begin(), shown.end(), node);
    if (it == shown.end())
        return;
    int row = static_cast<int>(it - shown.begin());
    int rows = std::max(1, VisibleRowCount());
    int top = m_top;
    if (row < top)
        top = row;
    else if (row >= top + rows)
        top = row - rows + 1;
    // Sideways its label comes into view, its start rather than its end when both cannot.
    int left = TextLeft(node), right = NodeRight(node) - RightMargin;
    int x = m_scrollX;
    if (right > x + ClientWidth())
        x = right - ClientWidth();
    if (left < x)
        x = std::max(0, NodeLeft(node) - Indent());
    m_top = top;
    m_scrollX = x;
    Relayout();
}

void TCustomTreeView::ContentsChanged(TTreeNode* added)
{
    // Nodes deleted while the view goes find it without its node list.
    if (!m_nodes)
        return;
    if (added && m_measured)
        m_contentWidth = std::max(m_contentWidth, NodeRight(added));
    else
        m_measured = false;
    Relayout();
    Invalidate();
}

void TCustomTreeView::Relayout()
{
    if (m_relayingOut || !m_nodes || m_nodes->m_update > 0)
        return;
    // Showing a bar resizes the client area, which comes back here: once is enough.
    struct Guard
    {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{m_relayingOut};
    m_relayingOut = true;
    int count = static_cast<int>(VisibleNodes().size());
    int width = ContentWidth();
    bool vertical = false, horizontal = false;
    FitScrollBars(count, width, [this] { return VisibleRowCount(); }, vertical, horizontal);
    m_top = std::clamp(m_top, 0, std::max(0, count - std::max(1, VisibleRowCount())));
    m_scrollX = std::clamp(m_scrollX, 0, std::max(0, width - ClientWidth()));
    TellScrollBar(SB_VERT, vertical, m_vertShown, std::max(0, count - 1), std::max(1, VisibleRowCount()), m_top);
    TellScrollBar(SB_HORZ, horizontal, m_horzShown, std::max(0, width - 1), std::max(1, ClientWidth()), m_scrollX);
}

void TCustomTreeView::SetTopRow(int row)
{
    row = std::clamp(row, 0, std::max(0, static_cast<int>(VisibleNodes().size()) - 1));
    if (row == m_top)
        return;
    m_top = row;
    Relayout();
    Invalidate();
}

void TCustomTreeView::SetScrollX(int x)
{
    x = std::max(0, x);
    if (x == m_scrollX)
        return;
    m_scrollX = x;
    Relayout();
    Invalidate();
}

void TCustomTreeView::Scroll(bool vertical, int code)
{
    int position = vertical ? m_top : m_scrollX;
    int line = vertical ? 1 : Indent();
    int page = vertical ? std::max(1, VisibleRowCount()) : std::max(1, ClientWidth());
    if (!ScrollRequestPosition(vertical ? SB_VERT : SB_HORZ, code, line, page, position))
        return;
    if (vertical)
        SetTopRow(position);
    else
        SetScrollX(position);
}

void TCustomTreeView::Resized()
{
    TCustomControl::Resized();
    Relayout();
    Invalidate();
}

void TCustomTreeView::FontChanged()
{
    TCustomControl::FontChanged();
    ContentsChanged();
}

void TCustomTreeView::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    std::vector<TTreeNode*> shown = VisibleNodes();
    int height = RowHeight();
    HIMAGELIST images = m_images ? m_images->Handle() : m_imageList;
    bool showSelection = Focused() || !m_hideSelection;
    for (size_t row = static_cast<size_t>(m_top); row < shown.size(); ++row)
    {
        int top = (static_cast<int>(row) - m_top) * height;
        if (top >= ClientHeight())
            break;
        TTreeNode* node = shown[row];
        int left = NodeLeft(node) - m_scrollX;
        int mid = top + height / 2;
        if (m_showLines)
        {
            canvas->Pen()->SetColor(clGrayText);
            int buttonX = left - Indent() / 2 - 2;
            if (node->Level() > 0 || m_showRoot)
            {
                for (int x = buttonX; x < left - 2; x += 2)
                    SetPixel(canvas->Handle(), x, mid, ColorToRGB(clGrayText));
                // The line down from the parent, to this node or past it to the next sibling.
                bool lastChild = node->Index() + 1 == (node->Parent() ? node->Parent()->Count() : Items()->TopCount());
                for (int y = top; y < (lastChild ? mid : top + height); y += 2)
                    SetPixel(canvas->Handle(), buttonX, y, ColorToRGB(clGrayText));
            }
            // The lines of the ancestors that have siblings below.
            for (TTreeNode* p = node->Parent(); p; p = p->Parent())
            {
                bool lastChild = p->Index() + 1 == (p->Parent() ? p->Parent()->Count() : Items()->TopCount());
                if (lastChild || (!p->Parent() && !m_showRoot))
                    continue;
                int x = NodeLeft(p) - Indent() / 2 - 2 - m_scrollX;
                for (int y = top; y < top + height; y += 2)
                    SetPixel(canvas->Handle(), x, y, ColorToRGB(clGrayText));
            }
        }
        if (m_showButtons && node->HasChildren() && (node->Level() > 0 || m_showRoot))
        {
            int bx = left - Indent() / 2 - 2;
            TRect box(bx - 4, mid - 4, bx + 5, mid + 5);
            canvas->Brush()->SetColor(clWindow);
            canvas->FillRect(box);
            canvas->Brush()->SetColor(clGrayText);
            canvas->FrameRect(box);
            canvas->Pen()->SetColor(clWindowText);
            canvas->MoveTo(bx - 2, mid);
            canvas->LineTo(bx + 3, mid);
            if (!node->Expanded())
            {
                canvas->MoveTo(bx, mid - 2);
                canvas->LineTo(bx, mid + 3);
            }
        }
        int textLeft = TextLeft(node) - m_scrollX;
        int image = node == m_selected ? node->SelectedIndex : node->ImageIndex;
        if (images && image >= 0)
            ImageList_Draw(images, image, canvas->Handle(), left, top + (height - 16) / 2, ILD_NORMAL);
        canvas->Font()->Assign(Font());
        int width = canvas->TextWidth(node->Text) + LabelPad;
        // A label never reaches past the rows' measured width: a text changed behind the view's
        // back ends in "..." there rather than running on unscrollable.
        int labelRight = std::min(textLeft + width, ContentWidth() - RightMargin - m_scrollX);
        TRect label(textLeft, top + 1, std::max(textLeft, labelRight), top + height - 1);
        if (node == m_selected && showSelection)
        {
            canvas->Brush()->SetColor(clHighlight);
            canvas->FillRect(label);
            canvas->Font()->SetColor(clHighlightText);
        }
        // The padding past the text stays in the rectangle: a glyph's ink reaching past its advance
        // is not clipped.
        RECT text{label.left + LabelPad / 2, top, label.right, top + height};
        canvas->Brush()->SetStyle(bsClear);
        if (text.right > text.left)
            DrawTextW(canvas->Handle(), node->Text.c_str(), node->Text.Length(), &text,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        canvas->Brush()->SetStyle(bsSolid);
        if (node == m_selected && Focused())
            canvas->DrawFocusRect(label);
    }
}

void TCustomTreeView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (CanFocus() && !Focused())
        SetFocus();
    if (TTreeNode* node = GetNodeAt(X, Y))
    {
        int buttonX = NodeLeft(node) - Indent() / 2 - 2 - m_scrollX;
        if (Button == mbLeft && node->HasChildren() && X >= buttonX - 6 && X <= buttonX + 6)
            node->Expanded() ? node->Collapse(false) : node->Expand(false);
        else
            SetSelected(node);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomTreeView::DblClick()
{
    TCustomControl::DblClick();
    if (m_selected)
        m_selected->Expanded() ? m_selected->Collapse(false) : m_selected->Expand(false);
}

void TCustomTreeView::KeyDown(WORD& Key, TShiftState Shift)
{
    std::vector<TTreeNode*> shown = VisibleNodes();
    auto it = std::find(shown.begin(), shown.end(), m_selected);
    int row = it == shown.end() ? -1 : static_cast<int>(it - shown.begin());
    int count = static_cast<int>(shown.size());
    switch (Key)
    {
    case VK_UP:
        if (row > 0)
            SetSelected(shown[static_cast<size_t>(row - 1)]);
        break;
    case VK_DOWN:
        if (row + 1 < count)
            SetSelected(shown[static_cast<size_t>(row + 1)]);
        break;
    case VK_PRIOR:
    case VK_NEXT:
        if (count)
        {
            int page = std::max(1, VisibleRowCount() - 1);
            int to = std::clamp((row < 0 ? 0 : row) + (Key == VK_NEXT ? page : -page), 0, count - 1);
            SetSelected(shown[static_cast<size_t>(to)]);
        }
        break;
    case VK_HOME:
        if (count)
            SetSelected(shown.front());
        break;
    case VK_END:
        if (count)
            SetSelected(shown.back());
        break;
    case VK_RIGHT:
        if (m_selected)
        {
            if (!m_selected->Expanded())
                m_selected->Expand(false);
            else if (m_selected->GetFirstChild())
                SetSelected(m_selected->GetFirstChild());
        }
        break;
    case VK_LEFT:
        if (m_selected)
        {
            if (m_selected->Expanded())
                m_selected->Collapse(false);
            else if (m_selected->Parent())
                SetSelected(m_selected->Parent());
        }
        break;
    default:
        break;
    }
    TCustomControl::KeyDown(Key, Shift);
}

void TCustomTreeView::WndProc(TMessage& Message)
{
    if (Message.Msg == TVM_SETIMAGELIST)
    {
        Message.Result = reinterpret_cast<LRESULT>(m_imageList);
        m_imageList = reinterpret_cast<HIMAGELIST>(Message.LParam);
        ContentsChanged();
        return;
    }
    if (Message.Msg == WM_MOUSEWHEEL)
    {
        int delta = static_cast<SHORT>(HIWORD(Message.WParam));
        SetTopRow(m_top - delta / 40);
        Message.Result = 0;
        return;
    }
    if (Message.Msg == WM_VSCROLL || Message.Msg == WM_HSCROLL)
    {
        Scroll(Message.Msg == WM_VSCROLL, LOWORD(Message.WParam));
        Message.Result = 0;
        return;
    }
    TCustomControl::WndProc(Message);
}
