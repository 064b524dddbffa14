#include "Gx/GxD3DX.h"

#include "Components/XException.h"

#include <string>

namespace Gx
{
HMODULE D3DXLib = nullptr;

XD3DXEntry<D3DXCreateEffectFromFileWProc> D3DXCreateEffectFromFileW("D3DXCreateEffectFromFileW");
XD3DXEntry<D3DXCompileShaderFromFileWProc> D3DXCompileShaderFromFileW("D3DXCompileShaderFromFileW");
XD3DXEntry<D3DXGetVertexShaderProfileProc> D3DXGetVertexShaderProfileW("D3DXGetVertexShaderProfile");
XD3DXEntry<D3DXCreateTextureProc> D3DXCreateTexture("D3DXCreateTexture");
XD3DXEntry<D3DXCreateTextureFromFileWProc> D3DXCreateTextureFromFileW("D3DXCreateTextureFromFileW");
XD3DXEntry<D3DXGetImageInfoFromFileWProc> D3DXGetImageInfoFromFileW("D3DXGetImageInfoFromFileW");
XD3DXEntry<D3DXGetImageInfoFromFileInMemoryProc>
    D3DXGetImageInfoFromFileInMemory("D3DXGetImageInfoFromFileInMemory");
XD3DXEntry<D3DXCreateTextureFromFileExWProc> D3DXCreateTextureFromFileExW("D3DXCreateTextureFromFileExW");
XD3DXEntry<D3DXCreateTextureFromFileInMemoryExProc>
    D3DXCreateTextureFromFileInMemoryEx("D3DXCreateTextureFromFileInMemoryEx");
XD3DXEntry<D3DXSaveTextureToFileWProc> D3DXSaveTextureToFileW("D3DXSaveTextureToFileW");
XD3DXEntry<D3DXSaveSurfaceToFileWProc> D3DXSaveSurfaceToFileW("D3DXSaveSurfaceToFileW");
XD3DXEntry<D3DXMatrixDecomposeProc> D3DXMatrixDecompose("D3DXMatrixDecompose");

namespace
{
// The unit's source path as its reports name it.
constexpr const char* UnitFile = "..\\Gx\\GxD3DX.cpp";

// The names are ASCII; they are widened here without the code-page tables, which may not be
// initialised yet while the program's units start.
std::u16string Widen(const char* text)
{
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

void Report(int line, const char* text)
{
    XDebug::AssertFailed(UnitFile, line, Widen(text).c_str());
}

template <class Entry> void BindEntry(Entry& entry, int line, XD3DXLoader::LookupProc lookup)
{
    entry.Set(reinterpret_cast<typename Entry::Proc>(lookup(D3DXLib, entry.ExportName())));
    if (!entry)
        Report(line, entry.ExportName());
}
} // namespace

void ThrowMissingD3DXEntry(const char* name)
{
    throw XException((u"Entry point " + Widen(name) + u" of d3dx9_24.dll is not loaded.").c_str());
}

XD3DXLoader::XD3DXLoader()
{
    Bind();
}

void XD3DXLoader::Bind(LoadProc load, LookupProc lookup)
{
    HMODULE previous = D3DXLib;
    D3DXLib = load(u"d3dx9_24.dll");
    if (!D3DXLib)
        Report(58, "d3dx9_24.dll");
    BindEntry(D3DXCreateEffectFromFileW, 60, lookup);
    BindEntry(D3DXCompileShaderFromFileW, 61, lookup);
    BindEntry(D3DXGetVertexShaderProfileW, 62, lookup);
    BindEntry(D3DXCreateTexture, 64, lookup);
    BindEntry(D3DXCreateTextureFromFileW, 65, lookup);
    BindEntry(D3DXGetImageInfoFromFileW, 66, lookup);
    BindEntry(D3DXGetImageInfoFromFileInMemory, 67, lookup);
    BindEntry(D3DXCreateTextureFromFileExW, 68, lookup);
    BindEntry(D3DXCreateTextureFromFileInMemoryEx, 69, lookup);
    BindEntry(D3DXSaveTextureToFileW, 70, lookup);
    BindEntry(D3DXSaveSurfaceToFileW, 72, lookup);
    BindEntry(D3DXMatrixDecompose, 74, lookup);
    // The library stays loaded for the rest of the run; a second binding drops its extra hold.
    if (previous)
        FreeLibrary(previous);
}

XD3DXLoader D3DXLoader;
} // namespace Gx
