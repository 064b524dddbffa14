// The open dialog's folder browsing, apart from its drawing.
#include "Platform/Vcl/Dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace Vcl
{
namespace
{
std::u16string Lower(std::u16string text)
{
    for (auto& c : text)
        c = ToLowerWide(c);
    return text;
}

// '*' any run, '?' one unit; both texts already lower case.
bool MatchOne(std::u16string_view name, std::u16string_view mask)
{
    size_t n = 0, m = 0;
    size_t starMask = std::u16string_view::npos, starName = 0;
    while (n < name.size())
    {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n]))
        {
            ++n;
            ++m;
        }
        else if (m < mask.size() && mask[m] == u'*')
        {
            starMask = m++;
            starName = n;
        }
        else if (starMask != std::u16string_view::npos)
        {
            m = starMask + 1;
            n = ++starName;
        }
        else
            return false;
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

std::u16string Trim(const std::u16string& text)
{
    size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string::npos)
        return {};
    size_t last = text.find_last_not_of(u" \t");
    return text.substr(first, last - first + 1);
}

std::string Native(const std::u16string& path)
{
    return Platform::ResolvePath(path.c_str());
}

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsFile(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error) && !fs::is_directory(path, error);
}

std::u16string WithSlash(std::u16string folder)
{
    if (folder.empty() || folder.back() != u'/')
        folder += u'/';
    return folder;
}

// The name part after the last separator.
std::u16string NamePart(const std::u16string& path)
{
    size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool LessWithoutCase(const FileItem& a, const FileItem& b)
{
    if (a.Folder != b.Folder)
        return a.Folder;
    int order = CompareStringW(0, NORM_IGNORECASE, a.Name.c_str(), -1, b.Name.c_str(), -1);
    if (order != CSTR_EQUAL)
        return order == CSTR_LESS_THAN;
    return a.Name.str() < b.Name.str();
}
} // namespace

std::vector<FileFilter> ParseFilter(const UnicodeString& filter)
{
    std::vector<FileFilter> result;
    const std::u16string& text = filter.str();
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t bar = text.find(u'|', pos);
        if (bar == std::u16string::npos)
            break;
        size_t end = text.find(u'|', bar + 1);
        if (end == std::u16string::npos)
            end = text.size();
        result.push_back({text.substr(pos, bar - pos), text.substr(bar + 1, end - bar - 1)});
        pos = end + 1;
    }
    return result;
}

bool MatchesMask(const UnicodeString& name, const UnicodeString& masks)
{
    std::u16string lowerName = Lower(name.str());
    std::u16string all = Lower(masks.str());
    size_t pos = 0;
    while (pos <= all.size())
    {
        size_t end = all.find(u';', pos);
        if (end == std::u16string::npos)
            end = all.size();
        std::u16string mask = Trim(all.substr(pos, end - pos));
        // "*.*" means every file, as on Windows, also one without an extension.
        if (mask == u"*.*" || (!mask.empty() && MatchOne(lowerName, mask)))
            return true;
        pos = end + 1;
    }
    return false;
}

bool FileBrowser::Open(const UnicodeString& folder)
{
    std::string native = Native(folder.str());
    if (native.empty() || !IsFolder(native))
        return false;
    std::error_code error;
    fs::path absolute = fs::weakly_canonical(fs::absolute(native, error), error);
    if (error)
        return false;
    fs::directory_iterator probe(absolute, error);
    if (error)
        return false;
    m_folder = WithSlash(Platform::FromUtf8(absolute.string()));
    Refresh();
    return true;
}

bool FileBrowser::OpenParent()
{
    std::u16string folder = m_folder.str();
    if (folder.size() <= 1)
        return false;
    folder.pop_back();
    size_t slash = folder.find_last_of(u'/');
    if (slash == std::u16string::npos)
        return false;
    return Open(folder.substr(0, slash + 1));
}

void FileBrowser::Refresh()
{
    m_items.clear();
    std::error_code error;
    fs::directory_iterator it(Platform::ToUtf8(m_folder.c_str()), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
    {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code kindError;
        bool folder = it->is_directory(kindError); // follows links, as a user expects
        FileItem item{UnicodeString(Platform::FromUtf8(name)), folder};
        if (folder || MatchesMask(item.Name, m_masks))
            m_items.push_back(std::move(item));
    }
    std::sort(m_items.begin(), m_items.end(), LessWithoutCase);
}

void FileBrowser::SetMasks(const UnicodeString& masks)
{
    m_masks = masks.IsEmpty() ? UnicodeString(u"*") : masks;
    if (!m_folder.IsEmpty())
        Refresh();
}

int FileBrowser::IndexOf(const UnicodeString& name) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].Name == name)
            return static_cast<int>(i);
    std::u16string lower = Lower(name.str());
    for (size_t i = 0; i < m_items.size(); ++i)
        if (Lower(m_items[i].Name.str()) == lower)
            return static_cast<int>(i);
    return -1;
}

FileBrowser::Result FileBrowser::Accept(const UnicodeString& typed, const UnicodeString& defaultExt,
                                        TOpenOptions options)
{
    std::u16string text = Trim(typed.str());
    if (text.empty())
        return {};
    if (text.find_first_of(u"*?") != std::u16string::npos)
    {
        SetMasks(text);
        return {Outcome::Filtered, {}};
    }

    std::u16string path;
    if (text[0] == u'/' || text[0] == u'\\')
        path = text;
    else if (text.size() >= 2 && text[0] == u'~' && (text[1] == u'/' || text[1] == u'\\'))
    {
        const char* home = std::getenv("HOME");
        path = Platform::FromUtf8(home ? home : "") + text.substr(1);
    }
    else if (text == u"~")
        path = Platform::FromUtf8(std::getenv("HOME") ? std::getenv("HOME") : "/");
    else
        path = m_folder.str() + text;

    std::string native = Native(path);
    if (IsFolder(native))
    {
        if (Open(path))
            return {Outcome::OpenedFolder, {}};
        return {Outcome::PathMissing, path};
    }

    std::string folder = fs::path(native).parent_path().string();
    if (folder.empty())
        folder = "/";
    if (!IsFolder(folder))
    {
        if (options.Contains(ofPathMustExist))
            return {Outcome::PathMissing, path};
    }
    if (IsFile(native))
        return {Outcome::Accepted, Platform::FromUtf8(native)};

    std::u16string name = NamePart(path);
    bool hasExtension = name.find(u'.') != std::u16string::npos;
    if (!hasExtension && !defaultExt.IsEmpty())
    {
        path += u"." + defaultExt.str();
        std::string extended = Native(path);
        if (IsFile(extended))
            return {Outcome::Accepted, Platform::FromUtf8(extended)};
    }
    if (options.Contains(ofFileMustExist))
        return {Outcome::FileMissing, path};
    return {Outcome::Accepted, Platform::FromUtf8(Native(path))};
}
} // namespace Vcl
