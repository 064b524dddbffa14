// Names and paths: native bytes and wide text, id lists, special folders and file facts.
#include "Platform/Shell/ShellDetail.h"

#include <fcntl.h>
#include <mntent.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>

namespace
{
// The length of a valid UTF-8 sequence at p (1 to 4), or 0.
size_t Utf8Sequence(const unsigned char* p, size_t left, uint32_t& code)
{
    unsigned char c = p[0];
    if (c < 0x80)
    {
        code = c;
        return 1;
    }
    size_t n;
    uint32_t min;
    if ((c & 0xE0) == 0xC0)
        n = 2, code = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        n = 3, code = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        n = 4, code = c & 0x07, min = 0x10000;
    else
        return 0;
    if (n > left)
        return 0;
    for (size_t i = 1; i < n; ++i)
    {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}
} // namespace

namespace Platform
{
namespace
{
// Decodes name bytes, handing each UTF-16 unit to `put`; a byte that is not UTF-8 keeps its value
// in a lone low surrogate.
template <class Put> void DecodeName(std::string_view bytes, Put&& put)
{
    auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (left)
    {
        if (*p < 0x80)
        {
            if (!put(static_cast<char16_t>(*p)))
                return;
            ++p, --left;
            continue;
        }
        uint32_t code;
        size_t n = Utf8Sequence(p, left, code);
        if (n == 0)
        {
            if (!put(static_cast<char16_t>(0xDC00 + *p)))
                return;
            ++p, --left;
            continue;
        }
        if (code >= 0x10000)
        {
            code -= 0x10000;
            if (!put(static_cast<char16_t>(0xD800 + (code >> 10))) || !put(static_cast<char16_t>(0xDC00 + (code & 0x3FF))))
                return;
        }
        else if (!put(static_cast<char16_t>(code)))
            return;
        p += n, left -= n;
    }
}
} // namespace

std::u16string WideName(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    DecodeName(bytes,
               [&out](char16_t c)
               {
                   out.push_back(c);
                   return true;
               });
    return out;
}

size_t WideNameInto(std::string_view bytes, WCHAR* out, size_t capacity)
{
    if (capacity == 0)
        return 0;
    size_t n = 0;
    DecodeName(bytes,
               [&](char16_t c)
               {
                   if (n + 1 >= capacity)
                       return false;
                   out[n++] = c;
                   return true;
               });
    out[n] = 0;
    return n;
}

std::string NativeName(const WCHAR* text, size_t length)
{
    std::string out;
    if (!text)
        return out;
    if (length == std::u16string::npos)
        length = std::char_traits<char16_t>::length(text);
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
    {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        else if (c >= 0xDC80 && c <= 0xDCFF)
        {
            out.push_back(static_cast<char>(c - 0xDC00));
            continue;
        }
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if (c < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
} // namespace Platform

namespace ShellDetail
{
bool SplitIdList(LPCITEMIDLIST list, std::vector<Item>& items)
{
    items.clear();
    if (!list)
        return true;
    auto* p = reinterpret_cast<const BYTE*>(list);
    for (size_t guard = 0; guard < 4096; ++guard)
    {
        WORD cb;
        std::memcpy(&cb, p, sizeof cb);
        if (cb == 0)
            return true;
        if (cb < 3)
            return false;
        items.push_back(Item{p[2], std::string(reinterpret_cast<const char*>(p + 3), cb - 3u)});
        p += cb;
    }
    return false;
}

bool SingleItem(LPCITEMIDLIST list, ItemView& item)
{
    if (!list)
        return false;
    auto* p = reinterpret_cast<const BYTE*>(list);
    WORD cb, next;
    std::memcpy(&cb, p, 2);
    if (cb < 3)
        return false;
    std::memcpy(&next, p + cb, 2);
    if (next != 0)
        return false;
    item.kind = p[2];
    item.bytes = std::string_view(reinterpret_cast<const char*>(p + 3), cb - 3u);
    return true;
}

bool LastItem(LPCITEMIDLIST list, ItemView& item)
{
    if (!list)
        return false;
    auto* p = reinterpret_cast<const BYTE*>(list);
    const BYTE* last = nullptr;
    for (size_t guard = 0; guard < 4096; ++guard)
    {
        WORD cb;
        std::memcpy(&cb, p, 2);
        if (cb == 0)
            break;
        if (cb < 3)
            return false;
        last = p;
        p += cb;
    }
    if (!last)
        return false;
    WORD cb;
    std::memcpy(&cb, last, 2);
    item.kind = last[2];
    item.bytes = std::string_view(reinterpret_cast<const char*>(last + 3), cb - 3u);
    return true;
}

size_t IdListBytes(LPCITEMIDLIST list)
{
    if (!list)
        return 0;
    auto* p = reinterpret_cast<const BYTE*>(list);
    size_t total = 0;
    for (;;)
    {
        WORD cb;
        std::memcpy(&cb, p + total, sizeof cb);
        if (cb == 0)
            return total;
        total += cb;
    }
}

LPITEMIDLIST MakeIdList(BYTE kind, std::string_view bytes)
{
    size_t size = 3 + bytes.size();
    auto* p = static_cast<BYTE*>(CoTaskMemAlloc(size + 2));
    if (!p)
        return nullptr;
    WORD cb = static_cast<WORD>(size);
    std::memcpy(p, &cb, 2);
    p[2] = kind;
    std::memcpy(p + 3, bytes.data(), bytes.size());
    p[size] = p[size + 1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(p);
}

LPITEMIDLIST MakeIdList(const std::vector<Item>& items)
{
    size_t total = 2;
    for (const Item& item : items)
        total += 3 + item.bytes.size();
    auto* p = static_cast<BYTE*>(CoTaskMemAlloc(total));
    if (!p)
        return nullptr;
    BYTE* at = p;
    for (const Item& item : items)
    {
        WORD cb = static_cast<WORD>(3 + item.bytes.size());
        std::memcpy(at, &cb, 2);
        at[2] = item.kind;
        std::memcpy(at + 3, item.bytes.data(), item.bytes.size());
        at += cb;
    }
    at[0] = at[1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(p);
}

std::string HomePath()
{
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? std::string(home) : std::string("/");
}

std::vector<std::string> ResolvedNames(std::string_view path)
{
    std::vector<std::string> names;
    for (size_t at = 0; at < path.size();)
    {
        size_t end = path.find('/', at);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view name = path.substr(at, end - at);
        if (name == "..")
        {
            if (!names.empty())
                names.pop_back();
        }
        else if (!name.empty() && name != ".")
            names.emplace_back(name);
        at = end + 1;
    }
    return names;
}

std::string PathOfNames(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
    {
        out.push_back('/');
        out.append(name);
    }
    return out.empty() ? "/" : out;
}

std::vector<std::string> DriveRoots()
{
    std::vector<std::string> roots{"/"};
    if (FILE* mounts = setmntent("/proc/self/mounts", "r"))
    {
        while (mntent* entry = getmntent(mounts))
        {
            std::string dir = entry->mnt_dir;
            for (const char* prefix : {"/media/", "/mnt/", "/run/media/"})
                if (dir.rfind(prefix, 0) == 0 && dir.size() > std::strlen(prefix) &&
                    std::find(roots.begin(), roots.end(), dir) == roots.end())
                    roots.push_back(dir);
        }
        endmntent(mounts);
    }
    std::sort(roots.begin() + 1, roots.end());
    return roots;
}

Location Locate(const std::vector<Item>& items)
{
    Location where;
    if (items.empty())
    {
        where.place = Place::Desktop;
        return where;
    }
    if (items[0].kind != SHELL_ITEM_VIRTUAL || items[0].bytes.size() != 1)
        return where;
    size_t next = 1;
    switch (static_cast<BYTE>(items[0].bytes[0]))
    {
    case CSIDL_DRIVES:
        if (items.size() == 1)
        {
            where.place = Place::Drives;
            return where;
        }
        if (items[1].kind != SHELL_ITEM_FOLDER || items[1].bytes.empty() || items[1].bytes[0] != '/')
            return where;
        where.path = items[1].bytes;
        next = 2;
        break;
    case CSIDL_PERSONAL:
        if (items.size() == 1)
        {
            where.place = Place::Personal;
            return where;
        }
        where.path = HomePath();
        break;
    case CSIDL_CONTROLS:
        where.place = items.size() == 1 ? Place::Controls : Place::Invalid;
        return where;
    case CSIDL_NETWORK:
        where.place = items.size() == 1 ? Place::Network : Place::Invalid;
        return where;
    default:
        return where;
    }
    for (size_t i = next; i < items.size(); ++i)
    {
        const Item& item = items[i];
        bool isFile = item.kind == SHELL_ITEM_FILE;
        // A name is one component: no '/', not empty, not a step up or in place.
        if ((!isFile && item.kind != SHELL_ITEM_FOLDER) || item.bytes.empty() ||
            item.bytes.find('/') != std::string::npos || item.bytes.find('\0') != std::string::npos ||
            item.bytes == "." || item.bytes == ".." || (isFile && i + 1 != items.size()))
        {
            where.path.clear();
            return where;
        }
        if (where.path.back() != '/')
            where.path += '/';
        where.path += item.bytes;
        where.lastIsFile = isFile;
    }
    where.place = Place::Path;
    return where;
}

Location Locate(LPCITEMIDLIST list)
{
    std::vector<Item> items;
    if (!SplitIdList(list, items))
        return Location{};
    return Locate(items);
}

std::u16string ItemDisplayName(const Item& item)
{
    return ItemDisplayName(item.kind, item.bytes);
}

std::u16string ItemDisplayName(BYTE kind, std::string_view bytes)
{
    if (kind == SHELL_ITEM_VIRTUAL && bytes.size() == 1)
    {
        switch (static_cast<BYTE>(bytes[0]))
        {
        case CSIDL_DRIVES:
            return u"Computer";
        case CSIDL_CONTROLS:
            return u"Control Panel";
        case CSIDL_PERSONAL:
            return u"Home";
        case CSIDL_NETWORK:
            return u"Network";
        default:
            return u"Desktop";
        }
    }
    return Platform::WideName(bytes);
}

namespace
{
// Who we are, asked once per listing rather than for every entry.
struct Credentials
{
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    void Read()
    {
        uid = geteuid();
        gid = getegid();
        gid_t list[256];
        int count = getgroups(256, list);
        groups.assign(list, list + std::max(count, 0));
    }
};

Credentials& Us()
{
    static Credentials us = []
    {
        Credentials c;
        c.Read();
        return c;
    }();
    return us;
}

bool WritableByUs(const struct stat& st)
{
    const Credentials& us = Us();
    if (us.uid == 0)
        return true;
    if (st.st_uid == us.uid)
        return st.st_mode & S_IWUSR;
    bool inGroup = st.st_gid == us.gid ||
                   std::find(us.groups.begin(), us.groups.end(), st.st_gid) != us.groups.end();
    if (inGroup)
        return st.st_mode & S_IWGRP;
    return st.st_mode & S_IWOTH;
}

Facts FromStat(const struct stat& st, bool isLink)
{
    Facts facts;
    facts.valid = true;
    facts.isLink = isLink;
    facts.isDirectory = S_ISDIR(st.st_mode);
    facts.isRegular = S_ISREG(st.st_mode);
    facts.readOnly = !WritableByUs(st);
    facts.size = facts.isRegular ? static_cast<uint64_t>(st.st_size) : 0;
    facts.mtimeSeconds = st.st_mtim.tv_sec;
    facts.mtimeNanoseconds = st.st_mtim.tv_nsec;
    return facts;
}
} // namespace

Facts FactsOf(int directoryFd, const char* name)
{
    struct stat st;
    if (fstatat(directoryFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Facts{};
    if (!S_ISLNK(st.st_mode))
        return FromStat(st, false);
    struct stat target;
    if (fstatat(directoryFd, name, &target, 0) == 0)
        return FromStat(target, true);
    return FromStat(st, true);
}

Facts FactsOf(int directoryFd, const std::string& name)
{
    return FactsOf(directoryFd, name.c_str());
}

namespace
{
// A descriptor of its own for a helper that asks facts in the folder `shared` is open on: threads
// that share one contend for it at every look-up. The shared one when the path no longer names
// that folder.
int OwnDescriptor(const std::string& path, int shared)
{
    int own = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat a, b;
    if (own >= 0 && fstat(own, &a) == 0 && fstat(shared, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return own;
    if (own >= 0)
        close(own);
    return shared;
}

// A folder's names read so far, in batches that helpers take while the rest is still being read.
class FactsPipeline
{
public:
    struct Batch
    {
        std::string names;
        std::vector<Listing::Entry> entries;
    };

    FactsPipeline(const std::string& path, int fd) : m_path(path), m_fd(fd) {}
    ~FactsPipeline() { Finish(); }

    void Publish(Batch& batch)
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_batches.push_back(std::move(batch));
            ++m_published;
        }
        m_more.notify_one();
        batch = Batch{};
    }
    // Up to `count` helpers that ask while names are still being read; fewer when no thread is
    // to be had.
    void StartHelpers(size_t count)
    {
        try
        {
            for (size_t t = 0; t < count; ++t)
                m_helpers.emplace_back([this] { Work(OwnDescriptor(m_path, m_fd)); });
        }
        catch (const std::system_error&)
        {
        }
    }
    bool Started() const { return !m_helpers.empty(); }
    // Every name is read: this thread asks what is left alongside the helpers, then the batches
    // are done.
    std::deque<Batch>& Finish()
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_done = true;
        }
        m_more.notify_all();
        Work(m_fd);
        for (std::thread& helper : m_helpers)
            helper.join();
        m_helpers.clear();
        return m_batches;
    }

private:
    void Work(int fd)
    {
        for (;;)
        {
            Batch* batch;
            {
                std::unique_lock<std::mutex> hold(m_lock);
                m_more.wait(hold, [this] { return m_next < m_published || m_done; });
                if (m_next >= m_published)
                    break;
                batch = &m_batches[m_next++]; // a deque's elements stay put as it grows
            }
            for (Listing::Entry& e : batch->entries)
                e.facts = FactsOf(fd, batch->names.data() + e.at);
        }
        if (fd != m_fd)
            close(fd);
    }

    const std::string& m_path;
    int m_fd;
    std::mutex m_lock;
    std::condition_variable m_more;
    std::deque<Batch> m_batches;
    size_t m_published = 0, m_next = 0;
    bool m_done = false;
    std::vector<std::thread> m_helpers;
};
} // namespace

void ReadListing(const std::string& path, bool hidden, Listing& listing)
{
    listing.names.clear();
    listing.entries.clear();
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return;
    ReadCredentials();
    // Each entry costs the system a look-up of its own: once a folder proves large, helpers ask
    // the facts of the names read so far while the rest is read.
    constexpr size_t BatchSize = 256, HelpersFrom = 2048;
    size_t read = 0;
    {
        FactsPipeline pipeline(path, dirfd(dir));
        FactsPipeline::Batch batch;
        while (dirent* entry = readdir(dir))
        {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            if (name[0] == '.' && !hidden)
                continue;
            size_t length = std::strlen(name);
            Listing::Entry e;
            e.at = static_cast<uint32_t>(batch.names.size());
            e.length = static_cast<uint32_t>(length);
            batch.names.append(name, length + 1); // with its NUL, to be asked as it stands
            batch.entries.push_back(e);
            if (batch.entries.size() == BatchSize)
            {
                pipeline.Publish(batch);
                read += BatchSize;
                if (read == HelpersFrom)
                    pipeline.StartHelpers(std::min(std::max(1u, std::thread::hardware_concurrency()), 4u) - 1);
            }
        }
        if (!batch.entries.empty())
            pipeline.Publish(batch);
        std::deque<FactsPipeline::Batch>& batches = pipeline.Finish();
        // The batches in the order read; entries gone meanwhile are left out; the kind follows the
        // facts.
        size_t bytes = 0, count = 0;
        for (const FactsPipeline::Batch& b : batches)
            bytes += b.names.size(), count += b.entries.size();
        listing.names.reserve(bytes);
        listing.entries.reserve(count);
        for (const FactsPipeline::Batch& b : batches)
        {
            auto base = static_cast<uint32_t>(listing.names.size());
            listing.names.append(b.names);
            for (Listing::Entry e : b.entries)
            {
                if (!e.facts.valid)
                    continue;
                e.at += base;
                e.kind = e.facts.isDirectory ? SHELL_ITEM_FOLDER : SHELL_ITEM_FILE;
                listing.entries.push_back(e);
            }
        }
    }
    closedir(dir);
}

void ReadCredentials()
{
    Us().Read();
}

Facts FactsOfPath(const std::string& path)
{
    ReadCredentials();
    return FactsOf(AT_FDCWD, path);
}

DWORD FileAttributes(std::string_view name, const Facts& facts)
{
    DWORD attributes = 0;
    if (facts.isDirectory)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!name.empty() && name[0] == '.')
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (facts.readOnly)
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!facts.isDirectory && !facts.isRegular)
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    if (facts.isLink)
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    if (attributes == 0)
        attributes = FILE_ATTRIBUTE_NORMAL;
    return attributes;
}

bool HasSubfolder(const std::string& path)
{
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (dirent* entry = readdir(dir))
    {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (entry->d_type == DT_DIR)
            found = true;
        else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
            found = FactsOf(dirfd(dir), entry->d_name).isDirectory;
        if (found)
            break;
    }
    closedir(dir);
    return found;
}

void TypeNameInto(BYTE kind, std::string_view bytes, WCHAR* out, size_t capacity)
{
    if (capacity == 0)
        return;
    auto copy = [&](std::u16string_view text, size_t at)
    {
        size_t n = std::min(text.size(), capacity - 1 - std::min(at, capacity - 1));
        std::copy_n(text.begin(), n, out + at);
        return at + n;
    };
    size_t dot = bytes.rfind('.');
    if (kind != SHELL_ITEM_FILE || dot == std::string_view::npos || dot == 0 || dot + 1 == bytes.size())
    {
        out[copy(kind != SHELL_ITEM_FILE ? u"File folder" : u"File", 0)] = 0;
        return;
    }
    size_t n = Platform::WideNameInto(bytes.substr(dot + 1), out, capacity);
    for (size_t i = 0; i < n; ++i)
        out[i] = ToUpperWide(out[i]);
    out[copy(u" File", n)] = 0;
}

int IconOf(BYTE kind, std::string_view bytes, const Facts* facts)
{
    if (kind == SHELL_ITEM_VIRTUAL && bytes.size() == 1)
    {
        switch (static_cast<BYTE>(bytes[0]))
        {
        case CSIDL_DRIVES:
            return SI_COMPUTER;
        case CSIDL_CONTROLS:
            return SI_CONTROLS;
        case CSIDL_PERSONAL:
            return SI_HOME;
        case CSIDL_NETWORK:
            return SI_NETWORK;
        default:
            return SI_DESKTOP;
        }
    }
    if (kind == SHELL_ITEM_FOLDER && !bytes.empty() && bytes[0] == '/')
        return SI_DRIVE;
    if (facts && facts->isLink)
        return SI_LINK;
    return kind == SHELL_ITEM_FOLDER ? SI_FOLDER : SI_FILE;
}
} // namespace ShellDetail

// ---- Time ------------------------------------------------------------------------------------

namespace
{
constexpr int64_t UnixEpochAsFileTime = 116444736000000000LL; // 1970-01-01 in 100 ns since 1601

int64_t ToInt(const FILETIME& t)
{
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FILETIME FromInt(int64_t v)
{
    auto u = static_cast<uint64_t>(v);
    return FILETIME{static_cast<DWORD>(u & 0xFFFFFFFFu), static_cast<DWORD>(u >> 32)};
}
} // namespace

FILETIME FileTimeFromUnix(int64_t seconds, long nanoseconds)
{
    return FromInt(UnixEpochAsFileTime + seconds * 10000000LL + nanoseconds / 100);
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localTime)
{
    if (!fileTime || !localTime)
        return FALSE;
    int64_t v = ToInt(*fileTime);
    if (v < 0)
        return FALSE;
    time_t seconds = static_cast<time_t>((v - UnixEpochAsFileTime) / 10000000LL);
    tm local{};
    if (!localtime_r(&seconds, &local))
        return FALSE;
    *localTime = FromInt(v + static_cast<int64_t>(local.tm_gmtoff) * 10000000LL);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime)
{
    if (!fileTime || !systemTime)
        return FALSE;
    int64_t v = ToInt(*fileTime);
    if (v < 0)
        return FALSE;
    int64_t units = v - UnixEpochAsFileTime;
    int64_t seconds = units >= 0 ? units / 10000000LL : -((-units + 9999999) / 10000000LL);
    int64_t rest = units - seconds * 10000000LL;
    time_t t = static_cast<time_t>(seconds);
    tm utc{};
    if (!gmtime_r(&t, &utc) || utc.tm_year + 1900 > 30827)
        return FALSE;
    systemTime->wYear = static_cast<WORD>(utc.tm_year + 1900);
    systemTime->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    systemTime->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    systemTime->wDay = static_cast<WORD>(utc.tm_mday);
    systemTime->wHour = static_cast<WORD>(utc.tm_hour);
    systemTime->wMinute = static_cast<WORD>(utc.tm_min);
    systemTime->wSecond = static_cast<WORD>(utc.tm_sec);
    systemTime->wMilliseconds = static_cast<WORD>(rest / 10000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime)
{
    if (!systemTime || !fileTime || systemTime->wMonth < 1 || systemTime->wMonth > 12)
        return FALSE;
    tm utc{};
    utc.tm_year = systemTime->wYear - 1900;
    utc.tm_mon = systemTime->wMonth - 1;
    utc.tm_mday = systemTime->wDay;
    utc.tm_hour = systemTime->wHour;
    utc.tm_min = systemTime->wMinute;
    utc.tm_sec = systemTime->wSecond;
    time_t seconds = timegm(&utc);
    *fileTime = FileTimeFromUnix(seconds, static_cast<long>(systemTime->wMilliseconds) * 1000000L);
    return TRUE;
}
