// Event closures: an object pointer and one of its member functions, bound together. A closure is
// two words and a call is one indirect call, so `On...` events copy and fire cheaply.
#pragma once

#include <cstring>
#include <type_traits>

template <typename Signature> class TClosure;

template <typename R, typename... Args> class TClosure<R(Args...)>
{
public:
    TClosure() = default;
    TClosure(std::nullptr_t) {}

    // A plain function (or a lambda without captures) as a closure without an object.
    TClosure(R (*function)(Args...)) : m_invoke(function ? &InvokeFunction : nullptr)
    {
        std::memcpy(m_method, &function, sizeof(function));
    }

    template <typename C, typename Method>
    requires std::is_member_function_pointer_v<Method> TClosure(C* object, Method method)
    {
        Bind(object, method);
    }

    explicit operator bool() const { return m_invoke != nullptr; }

    // Calling an empty closure does nothing and returns R's default.
    R operator()(Args... args) const
    {
        if (!m_invoke)
            return R();
        return m_invoke(*this, static_cast<Args&&>(args)...);
    }

    // The object the closure calls (null for a plain function).
    void* Data() const { return m_object; }

    friend bool operator==(const TClosure& a, const TClosure& b)
    {
        return a.m_invoke == b.m_invoke && a.m_object == b.m_object &&
               std::memcmp(a.m_method, b.m_method, sizeof(a.m_method)) == 0;
    }

private:
    using Invoker = R (*)(const TClosure&, Args&&...);

    template <typename C, typename Method> void Bind(C* object, Method method)
    {
        static_assert(sizeof(Method) <= sizeof(m_method), "member pointer does not fit a closure");
        if (!object || !method)
            return;
        m_object = const_cast<void*>(static_cast<const void*>(object));
        std::memcpy(m_method, &method, sizeof(method));
        m_invoke = &InvokeMember<C, Method>;
    }

    template <typename C, typename Method> static R InvokeMember(const TClosure& self, Args&&... args)
    {
        Method method;
        std::memcpy(&method, self.m_method, sizeof(method));
        return (static_cast<C*>(self.m_object)->*method)(static_cast<Args&&>(args)...);
    }

    static R InvokeFunction(const TClosure& self, Args&&... args)
    {
        R (*function)(Args...);
        std::memcpy(&function, self.m_method, sizeof(function));
        return function(static_cast<Args&&>(args)...);
    }

    void* m_object = nullptr;
    alignas(void*) unsigned char m_method[2 * sizeof(void*)] = {};
    Invoker m_invoke = nullptr;
};

// Binds `object` and its member function: MakeClosure(this, &TPatcherForm::PatchBtnClick).
template <typename C, typename R, typename... Args>
TClosure<R(Args...)> MakeClosure(C* object, R (C::*method)(Args...))
{
    return TClosure<R(Args...)>(object, method);
}

template <typename C, typename R, typename... Args>
TClosure<R(Args...)> MakeClosure(const C* object, R (C::*method)(Args...) const)
{
    return TClosure<R(Args...)>(object, method);
}

template <typename Signature> bool Assigned(const TClosure<Signature>& closure)
{
    return static_cast<bool>(closure);
}
