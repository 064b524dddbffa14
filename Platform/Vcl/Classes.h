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
