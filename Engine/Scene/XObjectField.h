// Field descriptors: one stateless static instance per field of a class, named
// XX<class without its X><field>Field (XXGridWidthField). They read and write through the class's
// public getter and setter, so the setter's clamping and invalidation apply.
#pragma once

#include "Components/StrUtils.h"

class XBaseObject;

namespace VarUtils
{
class XVariant;
}

class XObjectField
{
public:
    // The field name as the user sees it ("Width").
    virtual StrUtils::XBaseString<WCHAR> GetName() const = 0;
    // One of the reflection type names ("float", "bitu32", "XVertex" ...).
    virtual StrUtils::XBaseString<WCHAR> GetTypeName() const = 0;
    virtual bool GetValue(XBaseObject* object, VarUtils::XVariant& out) const = 0;
    virtual bool SetValue(XBaseObject* object, const VarUtils::XVariant& value) const = 0;

protected:
    // Fields are static instances, never deleted through this interface.
    ~XObjectField() = default;
};
