#include "Platform/Vcl/Dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
constexpr int Margin = 12;
constexpr int IconSize = 32;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 6;
constexpr int MaxTextWidth = 420;

struct ButtonKind
{
    int result;
    const WCHAR* caption;
    WORD accelerator; // the virtual key of the underlined letter, 0 for none
};

std::vector<ButtonKind> ButtonsOf(UINT type)
{
    const ButtonKind ok{IDOK, u"OK", 0};
    const ButtonKind cancel{IDCANCEL, u"Cancel", 0};
    const ButtonKind abort{IDABORT, u"&Abort", 'A'};
    const ButtonKind retry{IDRETRY, u"&Retry", 'R'};
    const ButtonKind ignore{IDIGNORE, u"&Ignore", 'I'};
    const ButtonKind yes{IDYES, u"&Yes", 'Y'};
    const ButtonKind no{IDNO, u"&No", 'N'};
    switch (type & 0x0F)
    {
    case MB_OKCANCEL:
        return {ok, cancel};
    case MB_ABORTRETRYIGNORE:
        return {abort, retry, ignore};
    case MB_YESNOCANCEL:
        return {yes, no, cancel};
    case MB_YESNO:
        return {yes, no};
    case MB_RETRYCANCEL:
        return {retry, cancel};
    default:
        return {ok};
    }
}
} // namespace

TMessageForm::TMessageForm(const UnicodeString& text, const UnicodeString& caption, UINT type)
    : TForm(nullptr)
{
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(caption);
    m_icon = type & 0xF0;
    if (m_icon != MB_ICONHAND && m_icon != MB_ICONQUESTION && m_icon != MB_ICONEXCLAMATION &&
        m_icon != MB_ICONASTERISK)
        m_icon = 0;

    int textLeft = m_icon ? Margin + IconSize + Margin : Margin;
    m_message = new TLabel(this);
    m_message->SetShowAccelChar(false);
    m_message->SetWordWrap(true);
    m_message->SetAutoSize(false);
    m_message->SetParent(this);
    // Measure the wrapped text: at most MaxTextWidth wide, as wide as its longest line otherwise.
    RECT measure{0, 0, MaxTextWidth, 0};
    Canvas()->Font()->Assign(Font());
    DrawTextW(Canvas()->Handle(), text.c_str(), text.Length(), &measure,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    int textWidth = std::max<int>(measure.right, 1);
    int textHeight = std::max<int>(measure.bottom, 13);
    int textTop = Margin;
    if (m_icon && textHeight < IconSize)
        textTop += (IconSize - textHeight) / 2;
    m_message->SetBounds(textLeft, textTop, textWidth, textHeight);
    m_message->SetCaption(text);
    m_iconRect = m_icon ? TRect(Margin, Margin, Margin + IconSize, Margin + IconSize) : TRect();

    std::vector<ButtonKind> kinds = ButtonsOf(type);
    int rowWidth =
        static_cast<int>(kinds.size()) * ButtonWidth + static_cast<int>(kinds.size() - 1) * ButtonGap;
    int clientWidth = std::max({textLeft + textWidth + Margin, rowWidth + 2 * Margin, 160});
    int rowTop = std::max(textTop + textHeight, m_icon ? Margin + IconSize : 0) + Margin + 6;
    SetClientWidth(clientWidth);
    SetClientHeight(rowTop + ButtonHeight + Margin);

    UINT defaultIndex = (type >> 8) & 0x0F;
    if (defaultIndex >= kinds.size())
        defaultIndex = 0;
    int x = (clientWidth - rowWidth) / 2;
    for (size_t i = 0; i < kinds.size(); ++i)
    {
        auto* button = new TButton(this);
        button->SetParent(this);
        button->SetBounds(x, rowTop, ButtonWidth, ButtonHeight);
        button->SetCaption(kinds[i].caption);
        button->SetModalResult(kinds[i].result);
        button->Tag = kinds[i].accelerator;
        button->OnKeyDown = MakeClosure(this, &TMessageForm::ButtonKeyDown);
        if (i == defaultIndex)
            button->SetDefault(true);
        x += ButtonWidth + ButtonGap;
        m_buttons.push_back(button);
    }
    m_defaultResult = kinds[defaultIndex].result;
    for (const ButtonKind& kind : kinds)
    {
        if (kind.result == IDCANCEL)
            m_escapeResult = IDCANCEL;
    }
    if (kinds.size() == 1 && kinds[0].result == IDOK)
        m_escapeResult = IDOK;
    for (TButton* button : m_buttons)
        button->SetCancel(button->ModalResult() == m_escapeResult);
    SetActiveControl(m_buttons[defaultIndex]);
}

void TMessageForm::ButtonKeyDown(TObject*, WORD& Key, TShiftState Shift)
{
    if (Shift.Contains(ssCtrl) || Key == 0)
        return;
    for (TButton* button : m_buttons)
    {
        if (button->Tag != 0 && button->Tag == Key)
        {
            Key = 0;
            button->Click();
            return;
        }
    }
}

void TMessageForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_CLOSE)
    {
        // The close button answers as Escape does, and not at all in a box without Cancel.
        if (m_escapeResult != 0)
            SetModalResult(m_escapeResult);
        Message.Result = 0;
        return;
    }
    TForm::Dispatch(Message);
}

int TMessageForm::Execute()
{
    int result = ShowModal();
    for (TButton* button : m_buttons)
    {
        if (button->ModalResult() == result)
            return result;
    }
    // Ended otherwise (the application terminated): the answer Escape gives, else the default.
    return m_escapeResult != 0 ? m_escapeResult : m_defaultResult;
}

void TMessageForm::Paint()
{
    TForm::Paint();
    if (!m_icon)
        return;
    TCanvas* canvas = Canvas();
    TRect r = m_iconRect;
    canvas->Pen()->SetColor(clBlack);
    UnicodeString glyph;
    TColor face;
    switch (m_icon)
    {
    case MB_ICONHAND:
        face = clRed;
        glyph = u"\u00D7";
        break;
    case MB_ICONQUESTION:
        face = clBlue;
        glyph = u"?";
        break;
    case MB_ICONEXCLAMATION:
        face = clYellow;
        glyph = u"!";
        break;
    default:
        face = clBlue;
        glyph = u"i";
        break;
    }
    canvas->Brush()->SetColor(face);
    HDC dc = canvas->Handle();
    if (m_icon == MB_ICONEXCLAMATION)
    {
        POINT triangle[] = {
            {r.left + IconSize / 2, r.top + 1}, {r.right - 1, r.bottom - 2}, {r.left, r.bottom - 2}};
        Polygon(dc, triangle, 3);
    }
    else
    {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    canvas->Font()->SetHeight(-20);
    canvas->Font()->SetStyle(TFontStyles{fsBold});
    canvas->Font()->SetColor(m_icon == MB_ICONEXCLAMATION ? clBlack : clWhite);
    canvas->Brush()->SetStyle(bsClear);
    dc = canvas->Handle();
    RECT glyphRect = r;
    if (m_icon == MB_ICONEXCLAMATION)
        glyphRect.top += 6;
    DrawTextW(dc, glyph.c_str(), glyph.Length(), &glyphRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

namespace Vcl
{
int MessageBoxForm(const UnicodeString& text, const UnicodeString& caption, UINT type)
{
    TMessageForm* form = new TMessageForm(text, caption, type);
    int result;
    try
    {
        result = form->Execute();
    }
    catch (...)
    {
        form->Free();
        throw;
    }
    form->Free();
    return result;
}
} // namespace Vcl

// ---- The open dialog's folder browsing ---------------------------------------------------

namespace Vcl
{
namespace
{
std::u16string Lower(std::u16string text)
{
    for (auto& c : text)
        c = ToLowerWide(c);
    return text;
}

// '*' any run, '?' one unit; both texts already lower case.
bool MatchOne(std::u16string_view name, std::u16string_view mask)
{
    size_t n = 0, m = 0;
    size_t starMask = std::u16string_view::npos, starName = 0;
    while (n < name.size())
    {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n]))
        {
            ++n;
            ++m;
        }
        else if (m < mask.size() && mask[m] == u'*')
        {
            starMask = m++;
            starName = n;
        }
        else if (starMask != std::u16string_view::npos)
        {
            m = starMask + 1;
            n = ++starName;
        }
        else
            return false;
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

std::u16string Trim(const std::u16string& text)
{
    size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string::npos)
        return {};
    size_t last = text.find_last_not_of(u" \t");
    return text.substr(first, last - first + 1);
}

std::string Native(const std::u16string& path)
{
    return Platform::ResolvePath(path.c_str());
}

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsFile(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error) && !fs::is_directory(path, error);
}

std::u16string WithSlash(std::u16string folder)
{
    if (folder.empty() || folder.back() != u'/')
        folder += u'/';
    return folder;
}

// The name part after the last separator.
std::u16string NamePart(const std::u16string& path)
{
    size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// A typed name as a path: as typed when absolute, under the home folder after "~/", else under
// `folder`.
std::u16string Resolved(const std::u16string& text, const std::u16string& folder)
{
    const char* home = std::getenv("HOME");
    if (text[0] == u'/' || text[0] == u'\\')
        return text;
    if (text == u"~")
        return Platform::FromUtf8(home ? home : "/");
    if (text.size() >= 2 && text[0] == u'~' && (text[1] == u'/' || text[1] == u'\\'))
        return Platform::FromUtf8(home ? home : "") + text.substr(1);
    return folder + text;
}

bool LessWithoutCase(const FileItem& a, const FileItem& b)
{
    if (a.Folder != b.Folder)
        return a.Folder;
    int order = CompareStringW(0, NORM_IGNORECASE, a.Name.c_str(), -1, b.Name.c_str(), -1);
    if (order != CSTR_EQUAL)
        return order == CSTR_LESS_THAN;
    return a.Name.str() < b.Name.str();
}
} // namespace

std::vector<FileFilter> ParseFilter(const UnicodeString& filter)
{
    std::vector<FileFilter> result;
    const std::u16string& text = filter.str();
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t bar = text.find(u'|', pos);
        if (bar == std::u16string::npos)
            break;
        size_t end = text.find(u'|', bar + 1);
        if (end == std::u16string::npos)
            end = text.size();
        result.push_back({text.substr(pos, bar - pos), text.substr(bar + 1, end - bar - 1)});
        pos = end + 1;
    }
    return result;
}

bool MatchesMask(const UnicodeString& name, const UnicodeString& masks)
{
    std::u16string lowerName = Lower(name.str());
    std::u16string all = Lower(masks.str());
    size_t pos = 0;
    while (pos <= all.size())
    {
        size_t end = all.find(u';', pos);
        if (end == std::u16string::npos)
            end = all.size();
        std::u16string mask = Trim(all.substr(pos, end - pos));
        // "*.*" means every file, as on Windows, also one without an extension.
        if (mask == u"*.*" || (!mask.empty() && MatchOne(lowerName, mask)))
            return true;
        pos = end + 1;
    }
    return false;
}

bool FileBrowser::Open(const UnicodeString& folder)
{
    std::string native = Native(folder.str());
    if (native.empty() || !IsFolder(native))
        return false;
    std::error_code error;
    fs::path absolute = fs::weakly_canonical(fs::absolute(native, error), error);
    if (error)
        return false;
    fs::directory_iterator probe(absolute, error);
    if (error)
        return false;
    m_folder = WithSlash(Platform::FromUtf8(absolute.string()));
    Refresh();
    return true;
}

bool FileBrowser::OpenParent()
{
    std::u16string folder = m_folder.str();
    if (folder.size() <= 1)
        return false;
    folder.pop_back();
    size_t slash = folder.find_last_of(u'/');
    if (slash == std::u16string::npos)
        return false;
    return Open(folder.substr(0, slash + 1));
}

void FileBrowser::Refresh()
{
    m_items.clear();
    std::error_code error;
    fs::directory_iterator it(Platform::ToUtf8(m_folder.c_str()), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
    {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code kindError;
        bool folder = it->is_directory(kindError); // follows links, as a user expects
        FileItem item{UnicodeString(Platform::FromUtf8(name)), folder};
        if (folder || MatchesMask(item.Name, m_masks))
            m_items.push_back(std::move(item));
    }
    std::sort(m_items.begin(), m_items.end(), LessWithoutCase);
}

void FileBrowser::SetMasks(const UnicodeString& masks)
{
    m_masks = masks.IsEmpty() ? UnicodeString(u"*") : masks;
    if (!m_folder.IsEmpty())
        Refresh();
}

int FileBrowser::IndexOf(const UnicodeString& name) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].Name == name)
            return static_cast<int>(i);
    std::u16string lower = Lower(name.str());
    for (size_t i = 0; i < m_items.size(); ++i)
        if (Lower(m_items[i].Name.str()) == lower)
            return static_cast<int>(i);
    return -1;
}

FileBrowser::Result FileBrowser::Accept(const UnicodeString& typed, const UnicodeString& defaultExt,
                                        TOpenOptions options)
{
    std::u16string text = Trim(typed.str());
    if (text.empty())
        return {};
    std::u16string path = Resolved(text, m_folder.str());
    const std::u16string name = NamePart(text);
    if (name.find_first_of(u"*?") != std::u16string::npos)
    {
        if (name.size() == text.size())
        {
            SetMasks(name);
            return {Outcome::Filtered, {}};
        }
        // The folder is listed once, already filtered; a folder that cannot be shown keeps the
        // masks it had.
        UnicodeString masks = m_masks;
        m_masks = name;
        if (Open(path.substr(0, path.size() - name.size())))
            return {Outcome::Filtered, {}};
        m_masks = masks;
        return {Outcome::PathMissing, path};
    }

    std::string native = Native(path);
    if (IsFolder(native))
    {
        if (Open(path))
            return {Outcome::OpenedFolder, {}};
        return {Outcome::PathMissing, path};
    }

    fs::path parent = fs::path(native).parent_path();
    const std::string folder = parent.empty() ? std::string("/") : parent.string();
    if (!IsFolder(folder))
    {
        if (options.Contains(ofPathMustExist))
            return {Outcome::PathMissing, path};
    }
    if (IsFile(native))
        return {Outcome::Accepted, Platform::FromUtf8(native)};

    bool hasExtension = name.find(u'.') != std::u16string::npos;
    if (!hasExtension && !defaultExt.IsEmpty())
    {
        path += u"." + defaultExt.str();
        std::string extended = Native(path);
        if (IsFile(extended))
            return {Outcome::Accepted, Platform::FromUtf8(extended)};
    }
    if (options.Contains(ofFileMustExist))
        return {Outcome::FileMissing, path};
    return {Outcome::Accepted, Platform::FromUtf8(Native(path))};
}
} // namespace Vcl

// ---- The open dialog's window -------------------------------------------------------------

namespace
{
// Posted to the dialog's form before its modal loop starts, so that OnShow fires once it shows.
constexpr UINT CM_DIALOGSHOWN = CM_BASE + 0x200;

int RowHeight(TCanvas* canvas)
{
    return std::max(16, canvas->TextHeight(u"Wg") + 3);
}

UnicodeString CurrentFolder()
{
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer))
        return UnicodeString(Platform::FromUtf8(buffer));
    const char* home = std::getenv("HOME");
    return UnicodeString(Platform::FromUtf8(home ? home : "/"));
}

// The folder and name parts of a path given with either separator.
void SplitPath(const UnicodeString& path, UnicodeString& folder, UnicodeString& name)
{
    const std::u16string& text = path.str();
    size_t slash = text.find_last_of(u"/\\");
    if (slash == std::u16string::npos)
    {
        folder = UnicodeString();
        name = path;
        return;
    }
    folder = text.substr(0, slash + 1);
    name = text.substr(slash + 1);
}
} // namespace

// ---- TFileListView ---------------------------------------------------------------------------

TFileListView::TFileListView(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetTabStop(true);
    SetColor(clWindow);
    // The sunken edge is the window's frame, so that the scroll bar stands inside it.
    SetWindowExStyle(WindowExStyle() | WS_EX_CLIENTEDGE);
}

void TFileListView::SetBrowser(Vcl::FileBrowser* browser)
{
    m_browser = browser;
    Reload();
}

int TFileListView::Count() const
{
    return m_browser ? static_cast<int>(m_browser->Items().size()) : 0;
}

void TFileListView::Reload()
{
    m_itemIndex = Count() > 0 ? 0 : -1;
    m_topIndex = 0;
    m_typed.clear();
    UpdateScrollBar();
    Invalidate();
}

int TFileListView::VisibleRows()
{
    return std::max(1, ClientHeight() / RowHeight(Canvas()));
}

void TFileListView::SetTopIndex(int top)
{
    top = std::clamp(top, 0, std::max(0, Count() - VisibleRows()));
    if (top != m_topIndex)
    {
        m_topIndex = top;
        Invalidate();
    }
    UpdateScrollBar();
}

void TFileListView::UpdateScrollBar()
{
    // A vertical bar takes no height, so the rows that fit decide it at once.
    const int rows = VisibleRows();
    const bool shown = Count() > rows;
    ShowScrollBarsIfChanged(shown, false);
    TellScrollBar(SB_VERT, shown, m_barTold, std::max(0, Count() - 1), rows, m_topIndex);
}

void TFileListView::Resized()
{
    TCustomControl::Resized();
    SetTopIndex(m_topIndex);
}

void TFileListView::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_VSCROLL)
    {
        int top = m_topIndex;
        if (ScrollRequestPosition(SB_VERT, LOWORD(Message.WParam), 1, VisibleRows(), top))
            SetTopIndex(top);
        Message.Result = 0;
        return;
    }
    TCustomControl::WndProc(Message);
}

void TFileListView::SetItemIndex(int index)
{
    if (Count() == 0)
        index = -1;
    else
        index = std::clamp(index, 0, Count() - 1);
    if (index >= 0)
    {
        int rows = VisibleRows();
        if (index < m_topIndex)
            SetTopIndex(index);
        else if (index >= m_topIndex + rows)
            SetTopIndex(index - rows + 1);
    }
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    Invalidate();
    OnSelect(this);
}

const Vcl::FileItem* TFileListView::Selected() const
{
    if (m_itemIndex < 0 || m_itemIndex >= Count())
        return nullptr;
    return &m_browser->Items()[static_cast<size_t>(m_itemIndex)];
}

int TFileListView::ItemAt(int y)
{
    int index = m_topIndex + y / RowHeight(Canvas());
    return y >= 0 && index < Count() ? index : -1;
}

void TFileListView::Paint()
{
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetColor(clWindow);
    canvas->FillRect(client);

    const int row = RowHeight(canvas);
    const int rows = VisibleRows();
    for (int i = 0; i < rows && m_topIndex + i < Count(); ++i)
    {
        int index = m_topIndex + i;
        const Vcl::FileItem& item = m_browser->Items()[static_cast<size_t>(index)];
        TRect line(0, i * row, client.right, (i + 1) * row);
        bool selected = index == m_itemIndex;
        TColor back = selected ? (Focused() ? clHighlight : clBtnFace) : clWindow;
        TColor text = selected && Focused() ? clHighlightText : clWindowText;
        canvas->Brush()->SetColor(back);
        canvas->FillRect(line);
        DrawIcon(line.left + 3, line.top + (row - 12) / 2, item.Folder);
        canvas->Brush()->SetStyle(bsClear);
        canvas->Font()->SetColor(text);
        int textTop = line.top + (row - canvas->TextHeight(item.Name)) / 2;
        canvas->TextRect(TRect(line.left + 20, line.top, line.right, line.bottom), line.left + 20, textTop,
                         item.Name);
        canvas->Brush()->SetStyle(bsSolid);
        if (selected && Focused())
            canvas->DrawFocusRect(line);
    }
}

void TFileListView::DrawIcon(int x, int y, bool folder)
{
    TCanvas* canvas = Canvas();
    canvas->Pen()->SetColor(clBtnShadow);
    if (folder)
    {
        canvas->Brush()->SetColor(0x4CC8F0); // a manila folder
        canvas->Rectangle(x, y + 2, x + 14, y + 12);
        canvas->Rectangle(x, y, x + 6, y + 3);
    }
    else
    {
        canvas->Brush()->SetColor(clWhite);
        canvas->Rectangle(x + 2, y, x + 12, y + 12);
        canvas->MoveTo(x + 4, y + 4);
        canvas->LineTo(x + 10, y + 4);
        canvas->MoveTo(x + 4, y + 7);
        canvas->LineTo(x + 10, y + 7);
    }
}

bool TFileListView::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    if (TCustomControl::DoMouseWheelDown(Shift, MousePos))
        return true;
    SetTopIndex(m_topIndex + 3);
    return true;
}

bool TFileListView::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    if (TCustomControl::DoMouseWheelUp(Shift, MousePos))
        return true;
    SetTopIndex(m_topIndex - 3);
    return true;
}

LRESULT TFileListView::DialogCode()
{
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

void TFileListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        int index = ItemAt(Y);
        if (index >= 0)
            SetItemIndex(index);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TFileListView::DblClick()
{
    TCustomControl::DblClick();
    if (Selected())
        OnOpen(this);
}

void TFileListView::KeyDown(WORD& Key, TShiftState Shift)
{
    int rows = VisibleRows();
    switch (Key)
    {
    case VK_UP:
        SetItemIndex(m_itemIndex - 1);
        break;
    case VK_DOWN:
        SetItemIndex(m_itemIndex + 1);
        break;
    case VK_PRIOR:
        SetItemIndex(m_itemIndex - (rows - 1));
        break;
    case VK_NEXT:
        SetItemIndex(m_itemIndex + (rows - 1));
        break;
    case VK_HOME:
        SetItemIndex(0);
        break;
    case VK_END:
        SetItemIndex(Count() - 1);
        break;
    case VK_BACK:
        OnParent(this);
        break;
    default:
        TCustomControl::KeyDown(Key, Shift);
        return;
    }
    Key = 0;
}

void TFileListView::KeyPress(WCHAR& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key < u' ' || Count() == 0)
        return;
    // Type-ahead: the next name that starts with what was typed (a repeated letter cycles).
    WCHAR lower = ToLowerWide(Key);
    if (m_typed.size() == 1 && m_typed[0] == lower)
        m_typed.clear();
    DWORD now = GetTickCount();
    if (now - m_typedAt > 1000)
        m_typed.clear();
    m_typedAt = now;
    m_typed += lower;
    int start = m_typed.size() == 1 ? m_itemIndex + 1 : std::max(m_itemIndex, 0);
    for (int i = 0; i < Count(); ++i)
    {
        int index = (start + i) % Count();
        const std::u16string& name = m_browser->Items()[static_cast<size_t>(index)].Name.str();
        if (name.size() < m_typed.size())
            continue;
        bool match = true;
        for (size_t c = 0; c < m_typed.size() && match; ++c)
            match = ToLowerWide(name[c]) == m_typed[c];
        if (match)
        {
            SetItemIndex(index);
            break;
        }
    }
    Key = 0;
}

// ---- TOpenDialogForm -------------------------------------------------------------------------

TOpenDialogForm::TOpenDialogForm(TComponent* AOwner, TOpenDialog* dialog) : TForm(AOwner), m_dialog(dialog)
{
    const bool sizing = dialog->Options.Contains(ofEnableSizing);
    SetBorderStyle(sizing ? bsSizeable : bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(dialog->Title.IsEmpty() ? UnicodeString(u"Open") : dialog->Title);
    SetClientWidth(480);
    SetClientHeight(320);
    const int w = ClientWidth();
    const int h = ClientHeight();

    LookInLabel = new TLabel(this);
    LookInLabel->SetParent(this);
    LookInLabel->SetBounds(8, 12, 52, 13);
    LookInLabel->SetCaption(u"Look in:");

    FolderLabel = new TPathLabel(this);
    FolderLabel->SetParent(this);
    FolderLabel->SetBounds(64, 12, w - 64 - 56, 13);
    FolderLabel->SetAnchors({akLeft, akTop, akRight});

    UpBtn = new TButton(this);
    UpBtn->SetParent(this);
    UpBtn->SetBounds(w - 8 - 44, 7, 44, 23);
    UpBtn->SetAnchors({akTop, akRight});
    UpBtn->SetCaption(u"Up");
    UpBtn->OnClick = MakeClosure(this, &TOpenDialogForm::UpBtnClick);

    List = new TFileListView(this);
    List->SetParent(this);
    List->SetBounds(8, 36, w - 16, h - 36 - 76);
    List->SetAnchors({akLeft, akTop, akRight, akBottom});
    List->OnSelect = MakeClosure(this, &TOpenDialogForm::ListSelect);
    List->OnOpen = MakeClosure(this, &TOpenDialogForm::ListOpen);
    List->OnParent = MakeClosure(this, &TOpenDialogForm::UpBtnClick);

    FileNameLabel = new TLabel(this);
    FileNameLabel->SetParent(this);
    FileNameLabel->SetBounds(8, h - 62, 76, 13);
    FileNameLabel->SetAnchors({akLeft, akBottom});
    FileNameLabel->SetCaption(u"File name:");

    FileNameEdit = new TEdit(this);
    FileNameEdit->SetParent(this);
    FileNameEdit->SetBounds(88, h - 66, w - 88 - 8 - 75 - 8, 21);
    FileNameEdit->SetAnchors({akLeft, akRight, akBottom});

    OpenBtn = new TButton(this);
    OpenBtn->SetParent(this);
    OpenBtn->SetBounds(w - 8 - 75, h - 67, 75, 23);
    OpenBtn->SetAnchors({akRight, akBottom});
    OpenBtn->SetCaption(u"Open");
    OpenBtn->SetDefault(true);
    OpenBtn->OnClick = MakeClosure(this, &TOpenDialogForm::OpenBtnClick);

    TypeLabel = new TLabel(this);
    TypeLabel->SetParent(this);
    TypeLabel->SetBounds(8, h - 32, 76, 13);
    TypeLabel->SetAnchors({akLeft, akBottom});
    TypeLabel->SetCaption(u"Files of type:");

    FilterLabel = new TLabel(this);
    FilterLabel->SetAutoSize(false);
    FilterLabel->SetParent(this);
    FilterLabel->SetBounds(88, h - 32, w - 88 - 8 - 75 - 8, 13);
    FilterLabel->SetAnchors({akLeft, akRight, akBottom});

    CancelBtn = new TButton(this);
    CancelBtn->SetParent(this);
    CancelBtn->SetBounds(w - 8 - 75, h - 37, 75, 23);
    CancelBtn->SetAnchors({akRight, akBottom});
    CancelBtn->SetCaption(u"Cancel");
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    // Tab walks: the list, the name, Open, Cancel, Up.
    List->SetTabOrder(0);
    FileNameEdit->SetTabOrder(1);
    OpenBtn->SetTabOrder(2);
    CancelBtn->SetTabOrder(3);
    UpBtn->SetTabOrder(4);

    auto filters = Vcl::ParseFilter(dialog->Filter);
    UnicodeString masks = u"*";
    if (!filters.empty())
    {
        size_t index =
            static_cast<size_t>(std::clamp(dialog->FilterIndex, 1, static_cast<int>(filters.size())) - 1);
        masks = filters[index].Masks;
        FilterLabel->SetCaption(filters[index].Description);
    }
    else
        FilterLabel->SetCaption(u"All files");
    Browser.SetMasks(masks);

    UnicodeString folder, name;
    SplitPath(dialog->FileName, folder, name);
    if (!Browser.Open(dialog->InitialDir) && !Browser.Open(folder) && !Browser.Open(CurrentFolder()))
        Browser.Open(u"/");
    List->SetBrowser(&Browser);
    FolderLabel->SetCaption(Browser.Folder());
    ListSelect(this);
    int index = Browser.IndexOf(name);
    if (index >= 0)
        List->SetItemIndex(index);
    if (!name.IsEmpty())
        FileNameEdit->SetText(name);
    SetActiveControl(FileNameEdit);
    FileNameEdit->SelectAll();
}

void TOpenDialogForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_DIALOGSHOWN)
    {
        m_dialog->OnShow(m_dialog);
        return;
    }
    TForm::Dispatch(Message);
}

// ---- TPathLabel ------------------------------------------------------------------------------

TPathLabel::TPathLabel(TComponent* AOwner) : TLabel(AOwner)
{
    SetAutoSize(false);
    SetShowAccelChar(false);
    SetShowHint(true);
}

void TPathLabel::TextChanged()
{
    TLabel::TextChanged();
    SetHint(Caption());
}

void TPathLabel::WndProc(TMessage& Message)
{
    // A bar is a character of a folder's name, not the end of the hint's short part.
    if (Message.Msg == CM_HINTSHOW)
        reinterpret_cast<THintInfo*>(Message.LParam)->HintStr = Caption();
    TLabel::WndProc(Message);
}

void TPathLabel::Paint()
{
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    canvas->Brush()->SetStyle(bsClear);
    const UnicodeString& path = Caption();
    DrawTextW(canvas->Handle(), path.c_str(), path.Length(), &r, DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
}

void TOpenDialogForm::FolderChanged()
{
    List->Reload();
    FolderLabel->SetCaption(Browser.Folder());
    // The first row is the selection: a file there is the name Enter would choose.
    ListSelect(this);
}

void TOpenDialogForm::UpBtnClick(TObject*)
{
    // The folder just left is selected and shown, as the way back down.
    std::u16string folder = Browser.Folder().str();
    if (!folder.empty())
        folder.pop_back();
    const UnicodeString left = Vcl::NamePart(folder);
    if (!Browser.OpenParent())
        return;
    FolderChanged();
    int index = Browser.IndexOf(left);
    if (index >= 0)
        List->SetItemIndex(index);
}

void TOpenDialogForm::ListSelect(TObject*)
{
    const Vcl::FileItem* item = List->Selected();
    if (item && !item->Folder)
        FileNameEdit->SetText(item->Name);
}

void TOpenDialogForm::ListOpen(TObject*)
{
    const Vcl::FileItem* item = List->Selected();
    if (!item)
        return;
    if (item->Folder)
    {
        if (Browser.Open(Browser.Folder() + item->Name))
            FolderChanged();
        return;
    }
    FileNameEdit->SetText(item->Name);
    AcceptName();
}

void TOpenDialogForm::OpenBtnClick(TObject*)
{
    // Enter in the list opens its selection as a double click does; so does Open with an empty
    // name and a folder selected.
    const Vcl::FileItem* item = List->Selected();
    if (item && (List->Focused() || (item->Folder && FileNameEdit->Text().IsEmpty())))
    {
        ListOpen(this);
        return;
    }
    AcceptName();
}

void TOpenDialogForm::AcceptName()
{
    using Outcome = Vcl::FileBrowser::Outcome;
    auto result = Browser.Accept(FileNameEdit->Text(), m_dialog->DefaultExt, m_dialog->Options);
    switch (result.outcome)
    {
    case Outcome::None:
        return;
    case Outcome::OpenedFolder:
        FileNameEdit->SetText(UnicodeString());
        FolderChanged();
        return;
    case Outcome::Filtered:
        FolderChanged();
        FileNameEdit->SetText(Browser.Masks());
        FileNameEdit->SelectAll();
        return;
    case Outcome::Accepted:
        m_fileName = result.FileName;
        SetModalResult(mrOk);
        return;
    case Outcome::PathMissing:
        Complain(result.FileName + u"\nThe folder does not exist.\nCheck the path and try again.");
        return;
    case Outcome::FileMissing:
    {
        UnicodeString folder, name;
        SplitPath(result.FileName, folder, name);
        Complain(name + u"\nFile not found.\nCheck the file name and try again.");
        return;
    }
    }
}

void TOpenDialogForm::Complain(const UnicodeString& text)
{
    MessageBoxW(Handle(), text.c_str(), Caption().c_str(), MB_OK | MB_ICONWARNING);
    SetActiveControl(FileNameEdit);
    FileNameEdit->SelectAll();
}

// ---- TOpenDialog -----------------------------------------------------------------------------

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute()
{
    TOpenDialogForm* form = new TOpenDialogForm(Application, this);
    m_form = form;
    bool chosen = false;
    try
    {
        PostMessageW(form->Handle(), CM_DIALOGSHOWN, 0, 0);
        chosen = form->ShowModal() == mrOk;
        if (chosen)
            FileName = form->ChosenFileName();
    }
    catch (...)
    {
        m_form = nullptr;
        form->Free();
        throw;
    }
    m_form = nullptr;
    form->Free();
    OnClose(this);
    return chosen;
}

// ---- TColorDialog ----------------------------------------------------------------------------

namespace
{
constexpr int kSwatch = 20;
constexpr int kGap = 6;
constexpr int kLeft = 10;
constexpr int kTop = 10;
constexpr int kFocusOut = 4; // the focus rectangle's distance outside a swatch, past its frame
TNotifyEvent g_colorDialogHook;

// The swatches are a control of their own, so that they take the focus and their place in the Tab
// order: a click or an arrow chooses a swatch, a double click or Space confirms the dialog, Enter
// presses OK.
class TColorSwatches : public TCustomControl
{
public:
    explicit TColorSwatches(TColorDialogForm* form) : TCustomControl(form), m_form(form)
    {
        SetTabStop(true);
        const TRect first = TColorDialogForm::SwatchRect(0);
        const TRect last =
            TColorDialogForm::SwatchRect(TColorDialogForm::Columns * TColorDialogForm::Rows - 1);
        TRect bounds = first.Union(last);
        InflateRect(&bounds, kFocusOut, kFocusOut);
        SetBoundsRect(bounds);
    }

protected:
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }

    void Paint() override
    {
        TCanvas* canvas = Canvas();
        const int chosen = m_form->ChosenSwatch();
        for (int i = 0; i < TColorDialogForm::Columns * TColorDialogForm::Rows; ++i)
        {
            TRect r = Swatch(i);
            TRect edge = r;
            InflateRect(&edge, 2, 2);
            if (i == chosen)
            {
                canvas->Brush()->SetColor(clBlack);
                canvas->FrameRect(edge);
            }
            InflateRect(&edge, -1, -1);
            Frame3D(canvas, edge, clBtnShadow, clBtnHighlight, 1);
            canvas->Brush()->SetColor(TColorDialogForm::BasicColor(i));
            canvas->FillRect(r);
        }
        // Where the arrows start from: the chosen swatch, else the first.
        if (Focused())
        {
            TRect focus = Swatch(std::max(chosen, 0));
            InflateRect(&focus, kFocusOut, kFocusOut);
            canvas->DrawFocusRect(focus);
        }
    }

    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        if (Button == mbLeft)
        {
            for (int i = 0; i < TColorDialogForm::Columns * TColorDialogForm::Rows; ++i)
                if (Swatch(i).Contains(TPoint(X, Y)))
                    m_form->ChooseSwatch(i);
        }
        TCustomControl::MouseDown(Button, Shift, X, Y);
    }

    void DblClick() override
    {
        TCustomControl::DblClick();
        m_form->SetModalResult(mrOk);
    }

    void KeyDown(WORD& Key, TShiftState Shift) override
    {
        const int chosen = m_form->ChosenSwatch();
        int column = chosen % TColorDialogForm::Columns;
        int row = chosen / TColorDialogForm::Columns;
        switch (Key)
        {
        case VK_LEFT:
            --column;
            break;
        case VK_RIGHT:
            ++column;
            break;
        case VK_UP:
            --row;
            break;
        case VK_DOWN:
            ++row;
            break;
        case VK_SPACE:
            Key = 0;
            m_form->SetModalResult(mrOk);
            return;
        default:
            TCustomControl::KeyDown(Key, Shift);
            return;
        }
        Key = 0;
        // The first arrow with no swatch chosen chooses the first; the arrows stop at the edges.
        if (chosen < 0)
            column = row = 0;
        column = std::clamp(column, 0, TColorDialogForm::Columns - 1);
        row = std::clamp(row, 0, TColorDialogForm::Rows - 1);
        m_form->ChooseSwatch(row * TColorDialogForm::Columns + column);
    }

private:
    TRect Swatch(int index) const { return TColorDialogForm::SwatchRect(index).Offset(-Left(), -Top()); }

    TColorDialogForm* m_form;
};
} // namespace

TColor TColorDialogForm::BasicColor(int index)
{
    // Rows of hues at full, three-quarter, half and quarter strength, light tints, and greys.
    static const TColor table[Columns * Rows] = {
        0x8080FF, 0x80FFFF, 0x80FF80, 0x80FF00, 0xFFFF80, 0xFF8000, 0xC080FF, 0xFF80FF,
        0x0000FF, 0x00FFFF, 0x80FF00, 0x40FF00, 0xFFFF00, 0xC08000, 0xC08080, 0xFF00FF,
        0x404080, 0x4080FF, 0x00FF00, 0x808000, 0x804000, 0xFF8080, 0x400080, 0x8000FF,
        0x000080, 0x0080FF, 0x008000, 0x408000, 0xFF0000, 0xA00000, 0x800080, 0xFF0080,
        0x000040, 0x004080, 0x004000, 0x404000, 0x800000, 0x400000, 0x400040, 0x800040,
        0x000000, 0x008080, 0x408080, 0x808080, 0x808040, 0xC0C0C0, 0x400040, 0xFFFFFF,
    };
    return table[std::clamp(index, 0, Columns * Rows - 1)];
}

TRect TColorDialogForm::SwatchRect(int index)
{
    int column = index % Columns;
    int row = index / Columns;
    int x = kLeft + column * (kSwatch + kGap);
    int y = kTop + row * (kSwatch + kGap);
    return TRect(x, y, x + kSwatch, y + kSwatch);
}

TColorDialogForm::TColorDialogForm(TComponent* AOwner, TColorDialog* dialog) : TForm(AOwner), m_dialog(dialog)
{
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(u"Color");
    int width = kLeft * 2 + Columns * (kSwatch + kGap) - kGap;
    int gridBottom = kTop + Rows * (kSwatch + kGap);
    SetClientWidth(width);
    SetClientHeight(gridBottom + 40 + 35);
    m_swatches = new TColorSwatches(this);
    m_swatches->SetParent(this);
    m_ok = new TButton(this);
    m_ok->SetParent(this);
    m_ok->SetCaption(u"OK");
    m_ok->SetDefault(true);
    m_ok->SetModalResult(mrOk);
    m_ok->SetBounds(width - 2 * 75 - 16, gridBottom + 45, 75, 25);
    m_cancel = new TButton(this);
    m_cancel->SetParent(this);
    m_cancel->SetCaption(u"Cancel");
    m_cancel->SetCancel(true);
    m_cancel->SetModalResult(mrCancel);
    m_cancel->SetBounds(width - 75 - 10, gridBottom + 45, 75, 25);
    SetActiveControl(m_swatches);
}

void TColorDialogForm::SetChosen(TColor color)
{
    m_chosen = color;
    if (m_swatch < 0 || BasicColor(m_swatch) != color)
    {
        m_swatch = -1;
        for (int i = Columns * Rows - 1; i >= 0; --i)
            if (BasicColor(i) == color)
                m_swatch = i;
    }
    Invalidate();
    m_swatches->Invalidate();
}

void TColorDialogForm::ChooseSwatch(int index)
{
    m_swatch = std::clamp(index, 0, Columns * Rows - 1);
    SetChosen(BasicColor(m_swatch));
}

void TColorDialogForm::Paint()
{
    TForm::Paint();
    TCanvas* canvas = Canvas();
    // The chosen colour's sample.
    int gridBottom = kTop + Rows * (kSwatch + kGap);
    TRect sample(kLeft, gridBottom + 5, ClientWidth() - kLeft, gridBottom + 35);
    TRect edge = sample;
    Frame3D(canvas, edge, clBtnShadow, clBtnHighlight, 1);
    canvas->Brush()->SetColor(m_chosen);
    canvas->FillRect(edge);
}

void TColorDialogForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_DIALOGSHOWN)
    {
        m_dialog->OnShow(m_dialog);
        g_colorDialogHook(m_dialog);
        return;
    }
    TForm::Dispatch(Message);
}

namespace Vcl
{
TNotifyEvent SetColorDialogHook(TNotifyEvent hook)
{
    TNotifyEvent previous = g_colorDialogHook;
    g_colorDialogHook = hook;
    return previous;
}
} // namespace Vcl

void TColorDialogForm::DblClick()
{
    TForm::DblClick();
    SetModalResult(mrOk);
}

TColorDialog::TColorDialog(TComponent* AOwner) : TComponent(AOwner)
{
}

TColorDialog::~TColorDialog()
{
    delete m_form;
}

bool TColorDialog::Execute()
{
    TColorDialogForm form(nullptr, this);
    form.SetChosen(Color);
    m_form = &form;
    struct Clear
    {
        TColorDialogForm*& form;
        ~Clear() { form = nullptr; }
    } clear{m_form};
    PostMessageW(form.Handle(), CM_DIALOGSHOWN, 0, 0);
    TModalResult result = form.ShowModal();
    OnClose(this);
    if (result != mrOk)
        return false;
    Color = form.Chosen();
    return true;
}
