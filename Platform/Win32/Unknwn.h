// The little of COM that every layer shares: interface identifiers, the reference-counted base
// interface and the general result codes. Objects are plain C++ classes with virtual methods; an
// object lives while its reference count is above zero.
#pragma once

#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <cstring>

// GUID, S_OK, E_FAIL and E_INVALIDARG come from the Win32 layer.
constexpr HRESULT S_FALSE = 1;

// ---- COM ---------------------------------------------------------------------------------------

static_assert(sizeof(GUID) == 16);

using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown
{
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default; // objects end through Release only
};
