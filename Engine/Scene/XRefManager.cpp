#include "Engine/Scene/XRefManager.h"

#include <memory>

XRefManager::~XRefManager()
{
    for (Pass* pass = m_Pass; pass; pass = pass->outer)
        pass->targetGone = true;
    m_Pass = nullptr;
    NotifyDependents(XRM_DELETED, 0);
    uint32_t count = m_References.GetCount();
    for (uint32_t i = 0; i < count; ++i)
        m_References[i]->m_Target = nullptr;
    m_References.Clear();
}

void XRefManager::Notification(XRefManager*, unsigned, uintptr_t) {}

void* XRefManager::GetInterface(const XGuid&)
{
    return nullptr;
}

void XRefManager::AddReference(XBaseReference* reference)
{
    if (!reference || m_References.IndexOf(reference) >= 0)
        return;
    m_References.Add(reference);
}

void XRefManager::RemoveReference(XBaseReference* reference)
{
    if (!reference)
        return;
    m_References.Remove(reference);
}

void XRefManager::NotifyDependents(unsigned message, uintptr_t param)
{
    Notify(message, param);
}

bool XRefManager::Notify(unsigned message, uintptr_t param)
{
    uint32_t count = m_References.GetCount();
    if (count == 0)
        return true;
    // Lists hold a handful of holders: the snapshot normally lives on the stack.
    constexpr uint32_t inlineCount = 16;
    XBaseReference* inlineSnapshot[inlineCount];
    std::unique_ptr<XBaseReference*[]> heapSnapshot;
    XBaseReference** snapshot = inlineSnapshot;
    if (count > inlineCount)
    {
        heapSnapshot.reset(new XBaseReference*[count]);
        snapshot = heapSnapshot.get();
    }
    for (uint32_t i = 0; i < count; ++i)
        snapshot[i] = m_References[i];

    // Registered for the length of the pass, also when a handler throws.
    struct Registration
    {
        XRefManager* target;
        Pass pass;
        ~Registration()
        {
            if (!pass.targetGone)
                target->m_Pass = pass.outer;
        }
    } registration{this, {m_Pass, false}};
    // The registration takes its pass off again on every way out, and when a handler destroyed
    // this object there is no member left to point anywhere: the compiler cannot see either.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
    m_Pass = &registration.pass;
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic pop
#endif

    for (uint32_t i = 0; i < count; ++i)
    {
        XBaseReference* r = snapshot[i];
        // A reference that left this list meanwhile may already be freed: only a listed one is
        // read, and a listed one targets this object by the invariant.
        if (m_References.IndexOf(r) < 0)
            continue;
        if ((r->m_Mask & message) == 0 || r->m_Owner == r->m_Target)
            continue;
        r->m_Owner->Notification(this, message, param);
        if (registration.pass.targetGone)
            return false;
    }
    return true;
}

void XRefManager::ReplaceReference(XRefManager* newTarget)
{
    if (!newTarget || newTarget == this)
        return;
    if (!Notify(XRM_REPLACED, reinterpret_cast<uintptr_t>(newTarget)))
        return; // a handler destroyed this object; its holders have been told
    uint32_t count = m_References.GetCount();
    for (uint32_t i = 0; i < count; ++i)
    {
        XBaseReference* r = m_References[i];
        r->m_Target = newTarget;
        newTarget->AddReference(r);
    }
    m_References.Clear();
}

XBaseReference::XBaseReference(XRefManager* owner, XRefManager* target, unsigned mask)
    : m_Owner(owner), m_Mask(mask | 7u)
{
    if (target)
        SetTarget(target);
}

XBaseReference::~XBaseReference()
{
    if (m_Target)
        SetTarget(nullptr);
}

void XBaseReference::SetTarget(XRefManager* t)
{
    if (t == m_Target)
        return;
    if (m_Target)
        m_Target->RemoveReference(this);
    m_Target = t;
    if (t)
        t->AddReference(this);
}
