#include "Platform/Vcl/Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

UnicodeString TObject::ClassName() const
{
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    UnicodeString name(Platform::FromUtf8(plain && status == 0 ? plain : mangled));
    std::free(plain);
    return name;
}

void TPersistent::Assign(TPersistent* Source)
{
    if (!Source)
        throw EConvertError(u"Cannot assign a nil to a " + ClassName());
    Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest)
{
    throw EConvertError(u"Cannot assign a " + ClassName() + u" to a " +
                        (Dest ? Dest->ClassName() : UnicodeString(u"nil")));
}

// ---- TComponent ------------------------------------------------------------------------------

namespace
{
bool IsIdentifier(const std::u16string& text)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        WCHAR c = text[i];
        bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        bool digit = c >= u'0' && c <= u'9';
        if (!letter && !(digit && i > 0))
            return false;
    }
    return true;
}

bool SameName(const UnicodeString& a, const UnicodeString& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), a.Length(), b.c_str(),
                          b.Length()) == CSTR_EQUAL;
}

void Erase(std::vector<TComponent*>& list, TComponent* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
}
} // namespace

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Deleted without BeforeDestruction: watchers hear of it from the base part only.
    TComponent::BeforeDestruction();
    if (m_owner)
        m_owner->RemoveComponent(this);
}

void TComponent::BeforeDestruction()
{
    Destroying();
    RemoveFreeNotifications();
    DestroyComponents();
}

void TComponent::Destroying()
{
    m_state << csDestroying;
}

int TComponent::ComponentIndex() const
{
    if (!m_owner)
        return -1;
    auto& list = m_owner->m_components;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetName(const UnicodeString& name)
{
    if (name == m_name)
        return;
    if (!IsIdentifier(name.str()))
        throw EComponentError(u"'" + name + u"' is not a valid component name");
    if (m_owner && !name.IsEmpty())
    {
        TComponent* other = m_owner->FindComponent(name);
        if (other && other != this)
            throw EComponentError(u"A component named " + name + u" already exists");
    }
    m_name = name;
}

TComponent* TComponent::FindComponent(const UnicodeString& name) const
{
    if (name.IsEmpty())
        return nullptr;
    for (TComponent* component : m_components)
    {
        if (SameName(component->m_name, name))
            return component;
    }
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->m_owner == this)
        return;
    if (AComponent->m_owner)
        AComponent->m_owner->RemoveComponent(AComponent);
    if (!AComponent->m_name.IsEmpty() && FindComponent(AComponent->m_name))
        throw EComponentError(u"A component named " + AComponent->m_name + u" already exists");
    m_components.push_back(AComponent);
    AComponent->m_owner = this;
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->m_owner != this)
        return;
    Notification(AComponent, opRemove);
    Erase(m_components, AComponent);
    AComponent->m_owner = nullptr;
}

void TComponent::DestroyComponents()
{
    // Last first, each out of the list before it goes, so that nothing it does on the way out
    // finds a freed sibling.
    while (!m_components.empty())
    {
        TComponent* instance = m_components.back();
        m_components.pop_back();
        instance->m_owner = nullptr;
        instance->Free();
    }
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this)
        return;
    if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), AComponent) == m_freeNotifies.end())
        m_freeNotifies.push_back(AComponent);
    if (std::find(AComponent->m_freeNotifies.begin(), AComponent->m_freeNotifies.end(), this) ==
        AComponent->m_freeNotifies.end())
        AComponent->m_freeNotifies.push_back(this);
    m_state << csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    if (!AComponent)
        return;
    Erase(m_freeNotifies, AComponent);
    Erase(AComponent->m_freeNotifies, this);
}

void TComponent::RemoveFreeNotifications()
{
    // Each watcher leaves both lists before it is told, so a handler that frees or unhooks
    // components finds consistent lists and is told once.
    while (!m_freeNotifies.empty())
    {
        TComponent* watcher = m_freeNotifies.back();
        m_freeNotifies.pop_back();
        Erase(watcher->m_freeNotifies, this);
        watcher->Notification(this, opRemove);
    }
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // By index: a handler may free components of this owner.
    for (size_t i = 0; i < m_components.size(); ++i)
    {
        if (m_components[i] != AComponent)
            m_components[i]->Notification(AComponent, Operation);
    }
}

void TComponent::SetDesigning(bool designing, bool children)
{
    if (designing)
        m_state << csDesigning;
    else
        m_state >> csDesigning;
    if (!children)
        return;
    for (TComponent* c : m_components)
        c->SetDesigning(designing, true);
}

void TComponent::SetReading(bool reading)
{
    if (reading)
        m_state << csReading;
    else
        m_state >> csReading;
}
