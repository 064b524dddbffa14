// The D3DX run-time binding: the library `d3dx9_24.dll` is loaded once at start-up and twelve of
// its entry points are kept in global pointers. A missing library or entry point is reported with
// a message box and the program goes on.
#pragma once

#include "Platform/D3DX/D3DX9.h"

#include <cstddef>

namespace Gx
{
// Thrown (as XException) by a call through an entry point that was not bound.
[[noreturn]] void ThrowMissingD3DXEntry(const char* name);

// One bound entry point: called like the function pointer it holds. A call through an entry left
// null throws XException naming the entry point instead of jumping to address 0.
template <class Proc> class XD3DXEntry;

template <class R, class... Args> class XD3DXEntry<R (*)(Args...)>
{
public:
    using Proc = R (*)(Args...);

    constexpr explicit XD3DXEntry(const char* exportName) : m_exportName(exportName) {}
    XD3DXEntry(const XD3DXEntry&) = delete;
    XD3DXEntry& operator=(const XD3DXEntry&) = delete;

    R operator()(Args... args) const
    {
        if (!m_proc)
            ThrowMissingD3DXEntry(m_exportName);
        return m_proc(args...);
    }
    Proc Get() const { return m_proc; }
    void Set(Proc proc) { m_proc = proc; }
    // The name the library exports it under.
    const char* ExportName() const { return m_exportName; }
    explicit operator bool() const { return m_proc != nullptr; }
    friend bool operator==(const XD3DXEntry& entry, std::nullptr_t) { return entry.m_proc == nullptr; }

private:
    Proc m_proc = nullptr;
    const char* m_exportName;
};

// The library's handle; null when loading failed.
extern HMODULE D3DXLib;

extern XD3DXEntry<D3DXCreateEffectFromFileWProc> D3DXCreateEffectFromFileW;
extern XD3DXEntry<D3DXCompileShaderFromFileWProc> D3DXCompileShaderFromFileW;
extern XD3DXEntry<D3DXGetVertexShaderProfileProc> D3DXGetVertexShaderProfileW;
extern XD3DXEntry<D3DXCreateTextureProc> D3DXCreateTexture;
extern XD3DXEntry<D3DXCreateTextureFromFileWProc> D3DXCreateTextureFromFileW;
extern XD3DXEntry<D3DXGetImageInfoFromFileWProc> D3DXGetImageInfoFromFileW;
extern XD3DXEntry<D3DXGetImageInfoFromFileInMemoryProc> D3DXGetImageInfoFromFileInMemory;
extern XD3DXEntry<D3DXCreateTextureFromFileExWProc> D3DXCreateTextureFromFileExW;
extern XD3DXEntry<D3DXCreateTextureFromFileInMemoryExProc> D3DXCreateTextureFromFileInMemoryEx;
extern XD3DXEntry<D3DXSaveTextureToFileWProc> D3DXSaveTextureToFileW;
extern XD3DXEntry<D3DXSaveSurfaceToFileWProc> D3DXSaveSurfaceToFileW;
extern XD3DXEntry<D3DXMatrixDecomposeProc> D3DXMatrixDecompose;

// The binding object; its construction (before main) binds the entry points.
class XD3DXLoader
{
public:
    XD3DXLoader();

    using LoadProc = HMODULE (*)(LPCWSTR fileName);
    using LookupProc = FARPROC (*)(HMODULE module, LPCSTR procName);
    // Loads the library and looks each entry point up in table order, reporting each failure as
    // a box "File: ..\Gx\GxD3DX.cpp; Line: <line>; \n<name>" captioned "Error". Tests pass their
    // own loading and lookup to withhold the library or entry points; binding again replaces
    // every pointer.
    static void Bind(LoadProc load = LoadLibraryW, LookupProc lookup = GetProcAddress);
};

extern XD3DXLoader D3DXLoader;
} // namespace Gx
