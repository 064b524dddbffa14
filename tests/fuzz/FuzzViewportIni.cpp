// Fuzz target: a view's settings file (one section per viewport: lighting, modes, colours, point
// size, grid) read into a live view. Whatever was read must be a state the viewport accepts, and
// saving it and reading it into a second view must give the same state.
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/IniFiles.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

namespace
{
struct ViewOnForm
{
    TForm form{nullptr};
    XView* view = nullptr;
    ViewOnForm()
    {
        form.SetBounds(0, 0, 340, 240);
        view = new XView(&form);
        view->SetParent(&form);
        view->SetBounds(0, 0, 300, 200);
    }
    ~ViewOnForm() { delete view; }
};

struct Options
{
    bool lighting, normalize, grid;
    uint32_t ambient, back, cull, shade, fill;
    float pointSize;
    bool operator==(const Options&) const = default;
};

Options Of(XViewport* v)
{
    return {v->GetLighting(),           v->GetNormalizeNormals(),   v->GetShowGrid(),
            v->GetAmbient().GetARGB(),  v->GetBackColor().GetARGB(), v->GetCullMode(),
            v->GetShadeMode(),          v->GetFillMode(),           v->GetPointSize()};
}

// The saved copy stays in memory: it only has to hand back what was written.
class MemoryIni : public TCustomIniFile
{
public:
    MemoryIni() : TCustomIniFile(UnicodeString()) {}
    UnicodeString ReadString(const UnicodeString& section, const UnicodeString& ident,
                             const UnicodeString& defaultValue) override
    {
        auto found = m_values.find(Key(section, ident));
        return found == m_values.end() ? defaultValue : found->second;
    }
    void WriteString(const UnicodeString& section, const UnicodeString& ident, const UnicodeString& value) override
    {
        m_values[Key(section, ident)] = value;
    }
    void ReadSection(const UnicodeString&, std::vector<UnicodeString>&) override {}
    void EraseSection(const UnicodeString&) override {}
    void DeleteKey(const UnicodeString&, const UnicodeString&) override {}

private:
    static std::u16string Key(const UnicodeString& section, const UnicodeString& ident)
    {
        return section.str() + u'\0' + ident.str();
    }
    std::map<std::u16string, UnicodeString> m_values;
};

UnicodeString Wide(const std::string& path)
{
    return UnicodeString(std::u16string(path.begin(), path.end()));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    // The input's file, removed when the run ends.
    static const struct Scratch
    {
        std::string path =
            (std::filesystem::temp_directory_path() / ("kelvane-fuzz-" + std::to_string(::getpid()) + ".ini")).string();
        ~Scratch() { std::remove(path.c_str()); }
    } scratch;
    const std::string& input = scratch.path;
    if (FILE* file = std::fopen(input.c_str(), "wb"))
    {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    ViewOnForm first, second;
    TIniFile read(Wide(input));
    first.view->LoadState(&read, "View");
    MemoryIni saved;
    first.view->SaveState(&saved, "View");
    second.view->LoadState(&saved, "View");
    for (int i = 0; i < 4; ++i)
    {
        Options a = Of(first.view->GetViewport(i)), b = Of(second.view->GetViewport(i));
        if (a.cull < 1 || a.cull > 3 || a.shade < 1 || a.shade > 3 || a.fill < 1 || a.fill > 3)
            abort();
        if (!(a.pointSize >= 0) || !(a == b))
            abort();
    }
    return 0;
}
