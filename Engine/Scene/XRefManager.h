// References between engine objects and the notifications that travel along them.
//
// A target (XRefManager) keeps the list of the references that point at it; a holder embeds an
// XBaseReference (usually a typed XReference<T>) naming itself as owner. The target tells the
// owners, through their virtual Notification, when it is deleted (1), asks them to let go (2),
// hands them over to another object (4) or changes (0x200000, 0x400000, 0x77F00000). This is
// the engine's only change-propagation mechanism; nothing here counts references.
//
// Invariant: a reference with a non-null target stands exactly once in that target's list; a
// reference with a null target stands in no list.
#pragma once

#include "Components/XGuid.h"
#include "Components/XPtrArray.h"

#include <cstdint>

// Message codes of Notification.
constexpr unsigned XRM_DELETED = 1;                // the target is being destroyed; param 0
constexpr unsigned XRM_RELEASED = 2;               // the holder is to let go of the target
constexpr unsigned XRM_REPLACED = 4;               // param: the new target
constexpr unsigned XRM_TEXTURE_CHANGED = 0x200000; // param: the texture's argument
constexpr unsigned XRM_MATERIAL_CHANGED = 0x400000; // param: the material's argument
constexpr unsigned XRM_MODIFIER_CHANGED = 0x77F00000; // param 0

class XBaseReference;

class XRefManager
{
public:
    XRefManager() = default;
    // Copies would share no references with the original; nothing in the engine copies targets.
    XRefManager(const XRefManager&) = delete;
    XRefManager& operator=(const XRefManager&) = delete;
    // Sends XRM_DELETED to every holder, then clears the target of every reference still listed,
    // so that no holder is left pointing at freed memory.
    virtual ~XRefManager();

    // Called on the HOLDER of a reference whose target is sender. The parameter is pointer-sized:
    // XRM_REPLACED carries the new target in it.
    virtual void Notification(XRefManager* sender, unsigned message, uintptr_t param);
    // Interface query by id; null for every id here.
    virtual void* GetInterface(const XGuid& id);

    // Null is ignored; a reference already listed is not added again.
    void AddReference(XBaseReference* reference);
    // Null and absent references are ignored; later entries move down one place.
    void RemoveReference(XBaseReference* reference);

    // Calls Notification(this, message, param) on the owner of every reference whose mask lets the
    // message through, except a holder's reference to itself. Safe while handlers add, drop or
    // retarget references (their own or others'): it works on a snapshot of the list and, before
    // each call, checks that the reference is still listed here; every reference is notified at
    // most once, and references added during the pass are not notified by it. A handler may even
    // destroy this object: the pass then ends without touching it again.
    void NotifyDependents(unsigned message, uintptr_t param);

    // Hands every holder over to newTarget: XRM_REPLACED (param newTarget) to all, then every
    // reference still listed moves to newTarget's list and targets it. Null or this object itself
    // does nothing (holders would be left pointing at nothing or at a stale list).
    void ReplaceReference(XRefManager* newTarget);

    unsigned GetReferenceCount() const { return m_References.GetCount(); }
    XBaseReference* GetReference(unsigned index) const { return m_References[index]; }

private:
    // A notification pass running on this object, innermost first; the destructor marks them all
    // so that none reads the object after a handler destroyed it.
    struct Pass
    {
        Pass* outer;
        bool targetGone;
    };

    // The pass of NotifyDependents; false when a handler destroyed this object.
    bool Notify(unsigned message, uintptr_t param);

    XPtrArray<XBaseReference, 4> m_References;
    Pass* m_Pass = nullptr;
};

// Three words: the holder told of changes (fixed at construction), the watched target or null,
// and the message mask (always including 1, 2 and 4). Not copyable: a copy would stand in no
// target's list.
class XBaseReference
{
public:
    XBaseReference(XRefManager* owner, XRefManager* target, unsigned mask);
    XBaseReference(const XBaseReference&) = delete;
    XBaseReference& operator=(const XBaseReference&) = delete;
    ~XBaseReference();

    // Nothing when t is the current target; otherwise leaves the current target's list and joins
    // t's (none for null).
    void SetTarget(XRefManager* t);

    XRefManager* GetOwner() const { return m_Owner; }
    XRefManager* GetTarget() const { return m_Target; }
    unsigned GetMask() const { return m_Mask; }

private:
    friend class XRefManager; // moves and clears target words without list operations

    XRefManager* m_Owner;
    XRefManager* m_Target = nullptr;
    unsigned m_Mask;
};

// A reference typed by its target class; every message reaches its owner.
template <class T> class XReference : public XBaseReference
{
public:
    explicit XReference(XRefManager* owner, T* target = nullptr)
        : XBaseReference(owner, Upcast(target), 0xFFFFFFFFu)
    {
    }

    void SetTarget(T* target) { XBaseReference::SetTarget(Upcast(target)); }
    XReference& operator=(T* target)
    {
        SetTarget(target);
        return *this;
    }

    T* Get() const { return static_cast<T*>(GetTarget()); }
    operator T*() const { return Get(); }
    T* operator->() const { return Get(); }

private:
    static XRefManager* Upcast(T* target) { return target; }
};
