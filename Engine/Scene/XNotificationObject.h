// A stand-alone watcher: follows one object and passes its notifications to an event, so that a
// class that is not itself a reference holder (a viewport following its camera) can react.
#pragma once

#include "Engine/Scene/XRefManager.h"

#include <cstdint>

// The watcher's event: a method and the object it is called on, both null until bound. Binding
// stores two pointers; a call is one indirect call, nothing is copied.
class XNotifyEvent
{
public:
    using Handler = void (*)(void* object, XRefManager* target, unsigned message, uintptr_t param);

    XNotifyEvent() = default;

    // The event calling (object->*Method)(target, message, param).
    template <auto Method, class C> static XNotifyEvent Bind(C* object)
    {
        XNotifyEvent event;
        event.m_Object = object;
        event.m_Handler = [](void* o, XRefManager* target, unsigned message, uintptr_t param) {
            (static_cast<C*>(o)->*Method)(target, message, param);
        };
        return event;
    }

    bool IsAssigned() const { return m_Handler != nullptr; }
    explicit operator bool() const { return IsAssigned(); }
    void* GetObject() const { return m_Object; }

    void operator()(XRefManager* target, unsigned message, uintptr_t param) const
    {
        m_Handler(m_Object, target, message, param);
    }

    bool operator==(const XNotifyEvent& other) const = default;

private:
    void* m_Object = nullptr;
    Handler m_Handler = nullptr;
};

class XNotificationObject : public XRefManager
{
public:
    XNotificationObject();
    ~XNotificationObject() override;

    // Calls the event with (watched object, message, param) when the sender is the watched object
    // and the event is assigned.
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;
    // The class's type name.
    virtual const char* GetTypeName() const;

    // Nothing for this object itself or the object already watched; null stops watching.
    void SetTarget(XRefManager* target);
    XRefManager* GetTarget() const { return m_Target.Get(); }

    void SetOnNotify(const XNotifyEvent& event) { m_OnNotify = event; }
    const XNotifyEvent& GetOnNotify() const { return m_OnNotify; }

private:
    XReference<XRefManager> m_Target;
    XNotifyEvent m_OnNotify;
};
