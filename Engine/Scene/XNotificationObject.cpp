#include "Engine/Scene/XNotificationObject.h"

XNotificationObject::XNotificationObject() : m_Target(this)
{
}

XNotificationObject::~XNotificationObject()
{
    m_Target.SetTarget(nullptr);
}

void XNotificationObject::Notification(XRefManager* sender, unsigned message, uintptr_t param)
{
    if (sender != m_Target.Get() || !m_OnNotify)
        return;
    m_OnNotify(sender, message, param);
}

const char* XNotificationObject::GetTypeName() const
{
    return "XNotificationObject";
}

void XNotificationObject::SetTarget(XRefManager* target)
{
    if (target == this || target == m_Target.Get())
        return;
    m_Target.SetTarget(target);
}
