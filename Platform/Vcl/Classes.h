// The class library's object core: the root object, persistent objects, components with their owner
// and free notification, small sets, and the notify event.
#pragma once

#include "Platform/Vcl/Closure.h"
#include "Platform/Vcl/SysUtils.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

class TObject
{
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The dynamic class's name, e.g. u"TTimer".
    UnicodeString ClassName() const;

    // Runs while the whole object still stands, before its destructors: owners call it before
    // they delete what they own, and Free calls it before delete.
    virtual void BeforeDestruction() {}
    void Free()
    {
        BeforeDestruction();
        delete this;
    }
};

// Frees the object and clears the reference.
template <typename T> void FreeAndNil(T*& object)
{
    T* doomed = object;
    object = nullptr;
    if (doomed)
        doomed->Free();
}

// A set of up to 32 enumerators, as the class library's set types (TShiftState, TAnchors).
template <typename E> class TSet
{
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items)
    {
        for (E item : items)
            m_bits |= Bit(item);
    }

    constexpr bool Contains(E item) const { return (m_bits & Bit(item)) != 0; }
    constexpr TSet& operator<<(E item)
    {
        m_bits |= Bit(item);
        return *this;
    }
    constexpr TSet& operator>>(E item)
    {
        m_bits &= ~Bit(item);
        return *this;
    }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr uint32_t Bits() const { return m_bits; }
    friend constexpr bool operator==(TSet a, TSet b) { return a.m_bits == b.m_bits; }

private:
    static constexpr uint32_t Bit(E item) { return uint32_t(1) << static_cast<unsigned>(item); }
    uint32_t m_bits = 0;
};

using TNotifyEvent = TClosure<void(TObject* Sender)>;

class TPersistent : public TObject
{
public:
    // Copies Source into this object; a class that cannot take Source raises EConvertError.
    virtual void Assign(TPersistent* Source);

protected:
    virtual void AssignTo(TPersistent* Dest);
};

class EComponentError : public Exception
{
public:
    using Exception::Exception;
};

enum TOperation
{
    opInsert,
    opRemove
};

enum TComponentStateItem
{
    csLoading,
    csDestroying,
    csFreeNotification,
    csReading,   // its properties are being read from a stored form
    csDesigning  // it stands on a form being designed, not running
};
using TComponentState = TSet<TComponentStateItem>;

// A component belongs to its owner, which frees it; components that watch each other through
// FreeNotification hear of each other's end through Notification(..., opRemove).
class TComponent : public TPersistent
{
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    TComponent* Owner() const { return m_owner; }
    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    TComponent* Components(int index) const { return m_components.at(static_cast<size_t>(index)); }
    // Index in the owner's list, -1 without an owner.
    int ComponentIndex() const;

    const UnicodeString& Name() const { return m_name; }
    // A name is empty or an identifier, unique (without case) among its owner's components;
    // anything else raises EComponentError.
    virtual void SetName(const UnicodeString& name);
    TComponent* FindComponent(const UnicodeString& name) const;

    TComponentState ComponentState() const { return m_state; }
    // Puts the component (and with `children` the components it owns) in or out of design mode.
    void SetDesigning(bool designing, bool children = true);
    // Marks the component as being read from a stored form (or done with it).
    void SetReading(bool reading);
    // Tells watchers and frees owned components while the derived parts still stand.
    void BeforeDestruction() override;
    intptr_t Tag = 0;

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void DestroyComponents();

    // AComponent hears Notification(this, opRemove) when this component is destroyed (and this one
    // when AComponent is).
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

protected:
    // Told of components inserted into or removed from the owner's family, and of watched
    // components going away. Overrides call the inherited one, which passes it to owned components.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Marks the component as going away.
    void Destroying();

private:
    void RemoveFreeNotifications();

    TComponent* m_owner = nullptr;
    std::vector<TComponent*> m_components;
    std::vector<TComponent*> m_freeNotifies;
    UnicodeString m_name;
    TComponentState m_state;
};

class EStringListError : public Exception
{
public:
    using Exception::Exception;
};

// What a sorted string list does with a string it already holds.
enum TDuplicates
{
    dupIgnore, // the add does nothing and answers the index of the one held
    dupAccept,
    dupError // EStringListError "String list does not allow duplicates"
};

// A list of strings, each with an object pointer the list carries but does not own. Without case
// (by default) strings compare as CompareStringW with NORM_IGNORECASE. A sorted list keeps that
// order, finds by binary search and refuses Insert. OnChanging and OnChange bracket every change;
// inside BeginUpdate/EndUpdate they fire once, at the outermost brackets, and only when something
// changed. A bad index raises EStringListError "List index out of bounds (n)".
class TStringList : public TPersistent
{
public:
    TStringList() = default;

    int Count() const { return static_cast<int>(m_items.size()); }
    const UnicodeString& Strings(int index) const;
    // Refused in a sorted list (the order would break).
    void SetString(int index, const UnicodeString& text);
    TObject* Objects(int index) const;
    void SetObject(int index, TObject* object);
    int Add(const UnicodeString& text) { return AddObject(text, nullptr); }
    // The index the string took (or, ignored as a duplicate, the one it has).
    int AddObject(const UnicodeString& text, TObject* object);
    void Insert(int index, const UnicodeString& text) { InsertObject(index, text, nullptr); }
    // 0 .. Count; refused in a sorted list ("Operation not allowed on sorted list").
    void InsertObject(int index, const UnicodeString& text, TObject* object);
    void Delete(int index);
    void Clear();
    void Exchange(int index1, int index2);
    // -1 when absent.
    int IndexOf(const UnicodeString& text) const;
    int IndexOfObject(TObject* object) const;
    // Sorted lists: whether the string is there; index is where it is, or where it would go.
    bool Find(const UnicodeString& text, int& index) const;
    bool Sorted() const { return m_sorted; }
    // Turning it on sorts the list.
    void SetSorted(bool sorted);
    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool caseSensitive);
    TDuplicates Duplicates = dupIgnore;
    void Sort();
    // Lines joined by CR LF, each ended by one; setting splits at CR LF, LF or CR.
    UnicodeString Text() const;
    void SetText(const UnicodeString& text);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    // Copies the strings and objects of another string list.
    void Assign(TPersistent* Source) override;
    // The comparison the list uses: < 0, 0, > 0.
    int CompareStrings(const UnicodeString& a, const UnicodeString& b) const;

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

private:
    struct Item
    {
        UnicodeString text;
        TObject* object = nullptr;
    };
    void CheckIndex(int index, int limit) const;
    void Changing();
    void Changed();

    std::vector<Item> m_items;
    bool m_sorted = false;
    bool m_caseSensitive = false;
    int m_updateCount = 0;
    bool m_changingSent = false; // inside brackets: OnChanging went out, OnChange is owed
};
