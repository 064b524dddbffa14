// Inside the shell layer: id lists as byte strings, where an absolute id list leads, and the
// file facts one enumeration gathers.
#pragma once

#include "Platform/Shell/ShlObj.h"

#include <sys/stat.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ShellDetail
{
// One item: its kind and payload (a CSIDL byte, or a name's bytes).
struct Item
{
    BYTE kind = 0;
    std::string bytes;
};

// The items of an id list; false when the list is malformed (an item shorter than its header).
bool SplitIdList(LPCITEMIDLIST list, std::vector<Item>& items);
// One item of an id list without copying: the view points into the id list.
struct ItemView
{
    BYTE kind = 0;
    std::string_view bytes;
};
// The one item of a single-item list, or the last item of a list: false when malformed or empty.
bool SingleItem(LPCITEMIDLIST list, ItemView& item);
bool LastItem(LPCITEMIDLIST list, ItemView& item);
// A new id list from the task allocator.
LPITEMIDLIST MakeIdList(const std::vector<Item>& items);
LPITEMIDLIST MakeIdList(BYTE kind, std::string_view bytes); // of one item
size_t IdListBytes(LPCITEMIDLIST list); // without the terminator

enum class Place
{
    Desktop,
    Drives,
    Controls,
    Personal,
    Network,
    Path, // a file-system path
    Invalid
};

struct Location
{
    Place place = Place::Invalid;
    std::string path;        // for Path
    bool lastIsFile = false; // the last item is a file, not a folder
};

Location Locate(const std::vector<Item>& items);
Location Locate(LPCITEMIDLIST list);

// The names of an absolute path as it reads, the way a file URI's path is read: "." dropped, ".."
// taking back the name before it (the root's parent is the root), doubled slashes skipped.
std::vector<std::string> ResolvedNames(std::string_view path);
// The path those names make: "/" for none.
std::string PathOfNames(const std::vector<std::string>& names);

// The roots of "Computer": "/" and the mount points under /media, /mnt and /run/media.
std::vector<std::string> DriveRoots();
std::string HomePath();

// The display name of an item: the special folders' names, a drive's path, a name's text.
std::u16string ItemDisplayName(const Item& item);
std::u16string ItemDisplayName(BYTE kind, std::string_view bytes);

// File facts of an entry (links are followed for what is shown; a broken link is itself).
struct Facts
{
    bool valid = false;
    bool isDirectory = false;
    bool isRegular = false;
    bool isLink = false;
    bool readOnly = false;
    uint64_t size = 0;
    int64_t mtimeSeconds = 0;
    long mtimeNanoseconds = 0;
};
Facts FactsOf(int directoryFd, const std::string& name);
Facts FactsOf(int directoryFd, const char* name);
Facts FactsOfPath(const std::string& path);
// Reads who this process is now (a listing does it once, not per entry).
void ReadCredentials();
DWORD FileAttributes(std::string_view name, const Facts& facts);
bool HasSubfolder(const std::string& path);

// The system image lists and the icon of an item.
HIMAGELIST SystemImageList(bool small);
int IconOf(BYTE kind, std::string_view bytes, const Facts* facts);
// The type name of a file-system item written into `out` (at most capacity - 1 units and a NUL).
void TypeNameInto(BYTE kind, std::string_view bytes, WCHAR* out, size_t capacity);

struct Listing;
// Reads a folder: every entry but "." and ".." (and hidden ones unless asked), with its facts;
// entries gone meanwhile are left out; none when the folder cannot be opened. Large folders ask
// the facts on several threads.
void ReadListing(const std::string& path, bool hidden, Listing& listing);

// The entries one enumeration of a file-system folder found: names in one block of bytes, each
// with its kind and facts. The folder and the enumerators it handed out share it.
struct Listing
{
    struct Entry
    {
        uint32_t at = 0, length = 0; // the name within `names`
        BYTE kind = 0;
        Facts facts;
    };
    std::string names;
    std::vector<Entry> entries;
    std::string_view Name(const Entry& e) const { return std::string_view(names).substr(e.at, e.length); }
    // A new entry at the end, its name ended by a NUL in the block so that it can be asked for as
    // it stands.
    Entry& Add(BYTE kind, std::string_view name)
    {
        Entry e;
        e.at = static_cast<uint32_t>(names.size());
        e.length = static_cast<uint32_t>(name.size());
        e.kind = kind;
        names.append(name).push_back(0);
        return entries.emplace_back(e);
    }
    // A folder's listing is read when its entries are first asked for.
    std::string path;
    bool hidden = false;
    bool pending = false;
    void ReadIfPending()
    {
        if (!pending)
            return;
        pending = false;
        ReadListing(path, hidden, *this);
    }
};

} // namespace ShellDetail
