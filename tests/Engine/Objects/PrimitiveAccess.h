// Test access to the parametric primitives by parameter name, through the class's fields or,
// for the classes that publish properties, its property table: both go through the setters.
#pragma once

#include "Components/XVariant.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XObjectField.h"

#include <cstdint>
#include <string>
#include <vector>

namespace PrimitiveAccess
{
inline XObjectField* FindField(XBaseMesh& object, const std::u16string& name)
{
    XPtrArray<XObjectField, 16> fields;
    object.EnumerateFields(fields);
    for (uint32_t i = 0; i < fields.GetCount(); ++i)
        if (fields[i]->GetName() == name.c_str())
            return fields[i];
    return nullptr;
}

inline const XPropertyDesc* FindProperty(XBaseMesh& object, const std::u16string& name)
{
    for (unsigned i = 0; i < object.GetPropertyCount(); ++i)
        if (const XPropertyDesc* d = object.GetPropertyDesc(i); d && name == d->Name)
            return d;
    return nullptr;
}

inline double FromVariant(const VarUtils::XVariant& v, const std::u16string& type)
{
    if (type == u"bitu32")
        return static_cast<uint32_t>(v.AsInt());
    if (type == u"bool")
        return v.AsBool() ? 1 : 0;
    return v.AsDouble();
}

inline VarUtils::XVariant ToVariant(double value, const std::u16string& type)
{
    VarUtils::XVariant v;
    if (type == u"bitu32")
        v = static_cast<unsigned>(static_cast<int64_t>(value));
    else if (type == u"bool")
        v = value != 0;
    else
        v = static_cast<float>(value);
    return v;
}

// NaN when the object has no such parameter.
inline double Get(XBaseMesh& object, const std::u16string& name)
{
    VarUtils::XVariant v;
    if (XObjectField* field = FindField(object, name))
    {
        field->GetValue(&object, v);
        return FromVariant(v, field->GetTypeName().c_str());
    }
    if (const XPropertyDesc* d = FindProperty(object, name))
    {
        object.GetPropertyValue(d->Id, v);
        return FromVariant(v, d->TypeName);
    }
    return __builtin_nan("");
}

// False when the object has no such parameter.
inline bool Set(XBaseMesh& object, const std::u16string& name, double value)
{
    if (XObjectField* field = FindField(object, name))
        return field->SetValue(&object, ToVariant(value, field->GetTypeName().c_str()));
    if (const XPropertyDesc* d = FindProperty(object, name))
    {
        object.SetPropertyValue(d->Id, ToVariant(value, d->TypeName));
        return true;
    }
    return false;
}
} // namespace PrimitiveAccess
