// Field descriptors: one stateless static instance per field of a class, named
// XX<class without its X><field>Field (XXGridWidthField). They read and write through the class's
// public getter and setter, so the setter's clamping and invalidation apply.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XVariant.h"

#include <type_traits>

class XBaseObject;

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

// A field of class T through its getter and setter. Values travel as float, unsigned (also
// enumerations) or bool.
template <class T, class V, V (T::*Get)() const, void (T::*Set)(V)> class XAccessorField : public XObjectField
{
public:
    constexpr XAccessorField(const WCHAR* name, const WCHAR* typeName) : m_Name(name), m_TypeName(typeName) {}

    StrUtils::XBaseString<WCHAR> GetName() const override { return m_Name; }
    StrUtils::XBaseString<WCHAR> GetTypeName() const override { return m_TypeName; }
    bool GetValue(XBaseObject* object, VarUtils::XVariant& out) const override
    {
        if constexpr (std::is_enum_v<V>)
            out = static_cast<unsigned>((static_cast<T*>(object)->*Get)());
        else
            out = (static_cast<T*>(object)->*Get)();
        return true;
    }
    bool SetValue(XBaseObject* object, const VarUtils::XVariant& value) const override
    {
        (static_cast<T*>(object)->*Set)(FromVariant(value));
        return true;
    }

private:
    static V FromVariant(const VarUtils::XVariant& value)
    {
        if constexpr (std::is_same_v<V, float>)
            return static_cast<float>(value.AsDouble());
        else if constexpr (std::is_same_v<V, bool>)
            return value.AsBool();
        else if constexpr (std::is_enum_v<V>)
            return static_cast<V>(static_cast<uint32_t>(value.AsInt()));
        else
            return static_cast<unsigned>(value.AsInt());
    }

    const WCHAR* m_Name;
    const WCHAR* m_TypeName;
};
