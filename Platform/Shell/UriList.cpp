// File lists as the desktop passes them between programs: text/uri-list.
#include "Platform/Shell/ShlObj.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace
{
// The longest path a line may carry, counted after its escapes are decoded: our writer escapes
// every byte that is not plain, so a path of non-ASCII names takes three times its length.
constexpr size_t LongestPath = 4096;
// The most of a refused line kept to be shown.
constexpr size_t ShownLine = 1024;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A raw control byte has no place in a URI: a line holding one is malformed as a whole (a NUL in it
// would otherwise end the name early and make the rest a name of its own).
bool IsControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
}

// Schemes and host names compare without ASCII case, whatever the locale.
bool SameWithoutCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// This machine's name, as gethostname gives it (empty when it gives none).
std::string OwnHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return std::string();
    return name;
}

// The local path of one line, or false: only file URIs of this machine (no host, "localhost" or
// its own name) with an absolute path, no raw control byte, every escape whole and none of them a
// NUL. The scheme is read without case, and "file:/path", with no authority at all (as some
// programs write it), is a file of this machine as "file:///path" is.
bool LocalPath(std::string_view line, const std::string& ownHost, std::string& path)
{
    static constexpr std::string_view scheme = "file:";
    if (line.size() < scheme.size() || !SameWithoutCase(line.substr(0, scheme.size()), scheme))
        return false;
    size_t slash = scheme.size();
    if (line.substr(slash).starts_with("//"))
    {
        const size_t authority = slash + 2;
        slash = line.find('/', authority);
        if (slash == std::string::npos)
            return false;
        std::string_view host = line.substr(authority, slash - authority);
        const bool own = !ownHost.empty() && SameWithoutCase(host, ownHost);
        if (!host.empty() && !SameWithoutCase(host, "localhost") && !own)
            return false; // another machine's file
    }
    else if (!line.substr(slash).starts_with('/'))
        return false; // a relative path
    path.clear();
    for (size_t i = slash; i < line.size(); ++i)
    {
        if (path.size() >= LongestPath)
            return false;
        char c = line[i];
        if (IsControl(c))
            return false;
        if (c != '%')
        {
            path.push_back(c);
            continue;
        }
        if (i + 2 >= line.size())
            return false;
        int high = HexValue(line[i + 1]), low = HexValue(line[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return false;
        path.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return !path.empty() && path[0] == '/';
}
} // namespace

namespace Platform
{
bool ParseUriList(const std::string& text, std::u16string& dropList, UriListRefusal* refusal)
{
    dropList.clear();
    if (refusal)
        *refusal = UriListRefusal();
    if (text.size() > LargestUriList)
        return false;
    const std::string ownHost = OwnHostName();
    std::string path;
    size_t at = 0;
    for (size_t number = 1; at < text.size(); ++number)
    {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line = std::string_view(text).substr(at, end - at);
        at = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        if (!LocalPath(line, ownHost, path))
        {
            // The list goes whole or not at all: its source may delete what it hears was moved.
            dropList.clear();
            if (refusal)
            {
                refusal->line = number;
                refusal->text = std::string(line.substr(0, ShownLine));
            }
            return false;
        }
        dropList += WideName(path);
        dropList.push_back(0);
    }
    if (dropList.empty())
        return false;
    dropList.push_back(0);
    return true;
}

std::string MakeUriList(const WCHAR* dropList)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const WCHAR* name = dropList; name && *name; name += std::char_traits<char16_t>::length(name) + 1)
    {
        std::string path = NativeName(name);
        if (path.empty() || path[0] != '/')
            continue;
        text += "file://";
        for (unsigned char c : path)
        {
            if (std::isalnum(c) || std::strchr("/-_.~!$&'()*+,;=:@", c))
                text.push_back(static_cast<char>(c));
            else
            {
                text.push_back('%');
                text.push_back(digits[c >> 4]);
                text.push_back(digits[c & 15]);
            }
        }
        text += "\r\n";
    }
    return text;
}

bool ReadDropFilesBlock(const void* block, size_t size, std::u16string& dropList)
{
    dropList.clear();
    DROPFILES header{};
    if (!block || size < sizeof header)
        return false;
    std::memcpy(&header, block, sizeof header);
    if (header.pFiles < sizeof header || header.pFiles > size)
        return false;
    size_t bytes = size - header.pFiles;
    const auto* text = static_cast<const BYTE*>(block) + header.pFiles;
    if (header.fWide)
    {
        dropList.resize(bytes / 2);
        std::memcpy(dropList.data(), text, dropList.size() * 2);
    }
    else if (bytes)
    {
        int bounded = static_cast<int>(std::min<size_t>(bytes, 1u << 30));
        dropList.resize(static_cast<size_t>(bounded));
        int n = MultiByteToWideChar(CP_THREAD_ACP, 0, reinterpret_cast<const char*>(text), bounded, dropList.data(),
                                    bounded);
        dropList.resize(static_cast<size_t>(std::max(n, 0)));
    }
    dropList.push_back(0);
    dropList.push_back(0);
    if (dropList[0] == 0)
    {
        dropList.clear();
        return false;
    }
    return true;
}

std::string MakeDropFilesBlock(const std::u16string& dropList)
{
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    block.append(reinterpret_cast<const char*>(dropList.data()), dropList.size() * sizeof(WCHAR));
    return block;
}
} // namespace Platform
