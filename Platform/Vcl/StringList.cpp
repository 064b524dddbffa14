#include "Platform/Vcl/Classes.h"

#include <algorithm>

namespace
{
int CompareWide(const UnicodeString& a, const UnicodeString& b, bool caseSensitive)
{
    int result = CompareStringW(LOCALE_USER_DEFAULT, caseSensitive ? 0 : NORM_IGNORECASE, a.c_str(), a.Length(),
                                b.c_str(), b.Length());
    return result - CSTR_EQUAL;
}
} // namespace

void TStringList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EStringListError(UnicodeString(u"List index out of bounds (") + IntToStr(index) + u")");
}

void TStringList::Changing()
{
    if (m_updateCount > 0)
    {
        if (m_changingSent)
            return;
        m_changingSent = true;
    }
    OnChanging(this);
}

void TStringList::Changed()
{
    if (m_updateCount > 0)
        return;
    OnChange(this);
}

void TStringList::BeginUpdate()
{
    ++m_updateCount;
}

void TStringList::EndUpdate()
{
    if (m_updateCount == 0)
        return;
    if (--m_updateCount > 0 || !m_changingSent)
        return;
    m_changingSent = false;
    OnChange(this);
}

int TStringList::CompareStrings(const UnicodeString& a, const UnicodeString& b) const
{
    return CompareWide(a, b, m_caseSensitive);
}

const UnicodeString& TStringList::Strings(int index) const
{
    CheckIndex(index, Count());
    return m_items[static_cast<size_t>(index)].text;
}

void TStringList::SetString(int index, const UnicodeString& text)
{
    if (m_sorted)
        throw EStringListError(u"Operation not allowed on sorted list");
    CheckIndex(index, Count());
    Changing();
    m_items[static_cast<size_t>(index)].text = text;
    Changed();
}

TObject* TStringList::Objects(int index) const
{
    CheckIndex(index, Count());
    return m_items[static_cast<size_t>(index)].object;
}

void TStringList::SetObject(int index, TObject* object)
{
    CheckIndex(index, Count());
    Changing();
    m_items[static_cast<size_t>(index)].object = object;
    Changed();
}

int TStringList::AddObject(const UnicodeString& text, TObject* object)
{
    int index = Count();
    if (m_sorted)
    {
        if (Find(text, index))
        {
            if (Duplicates == dupIgnore)
                return index;
            if (Duplicates == dupError)
                throw EStringListError(u"String list does not allow duplicates");
        }
    }
    Changing();
    m_items.insert(m_items.begin() + index, Item{text, object});
    Changed();
    return index;
}

void TStringList::InsertObject(int index, const UnicodeString& text, TObject* object)
{
    if (m_sorted)
        throw EStringListError(u"Operation not allowed on sorted list");
    CheckIndex(index, Count() + 1);
    Changing();
    m_items.insert(m_items.begin() + index, Item{text, object});
    Changed();
}

void TStringList::Delete(int index)
{
    CheckIndex(index, Count());
    Changing();
    m_items.erase(m_items.begin() + index);
    Changed();
}

void TStringList::Clear()
{
    if (m_items.empty())
        return;
    Changing();
    m_items.clear();
    Changed();
}

void TStringList::Exchange(int index1, int index2)
{
    if (m_sorted)
        throw EStringListError(u"Operation not allowed on sorted list");
    CheckIndex(index1, Count());
    CheckIndex(index2, Count());
    Changing();
    std::swap(m_items[static_cast<size_t>(index1)], m_items[static_cast<size_t>(index2)]);
    Changed();
}

int TStringList::IndexOf(const UnicodeString& text) const
{
    if (m_sorted)
    {
        int index = 0;
        return Find(text, index) ? index : -1;
    }
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        if (CompareStrings(m_items[i].text, text) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int TStringList::IndexOfObject(TObject* object) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        if (m_items[i].object == object)
            return static_cast<int>(i);
    }
    return -1;
}

bool TStringList::Find(const UnicodeString& text, int& index) const
{
    // The first of equal strings, so duplicates stay together and the earliest is found.
    int low = 0, high = Count();
    while (low < high)
    {
        int mid = low + (high - low) / 2;
        if (CompareStrings(m_items[static_cast<size_t>(mid)].text, text) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    index = low;
    return low < Count() && CompareStrings(m_items[static_cast<size_t>(low)].text, text) == 0;
}

void TStringList::Sort()
{
    Changing();
    std::stable_sort(m_items.begin(), m_items.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.text, b.text) < 0; });
    Changed();
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted == m_sorted)
        return;
    if (sorted)
        Sort();
    m_sorted = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive == m_caseSensitive)
        return;
    m_caseSensitive = caseSensitive;
    if (m_sorted)
        Sort();
}

UnicodeString TStringList::Text() const
{
    std::u16string text;
    for (const Item& item : m_items)
    {
        text += item.text.str();
        text += u"\r\n";
    }
    return text;
}

void TStringList::SetText(const UnicodeString& text)
{
    BeginUpdate();
    try
    {
        Clear();
        const std::u16string& s = text.str();
        size_t start = 0;
        while (start < s.size())
        {
            size_t end = s.find_first_of(u"\r\n", start);
            if (end == std::u16string::npos)
                end = s.size();
            Add(UnicodeString(s.substr(start, end - start)));
            if (end < s.size() && s[end] == u'\r' && end + 1 < s.size() && s[end + 1] == u'\n')
                ++end;
            start = end + 1;
        }
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringList::Assign(TPersistent* Source)
{
    auto* other = dynamic_cast<TStringList*>(Source);
    if (!other)
    {
        TPersistent::Assign(Source);
        return;
    }
    if (other == this)
        return;
    BeginUpdate();
    Clear();
    for (const Item& item : other->m_items)
        AddObject(item.text, item.object);
    EndUpdate();
}
