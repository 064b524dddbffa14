// Inside the shell layer: id lists as byte strings, where an absolute id list leads, and the
// file facts one enumeration gathers.
#pragma once

#include "Platform/Shell/ShlObj.h"

#include <sys/stat.h>

#include <string>
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
// The one item of a single-item list, or the last item of a list: false when malformed or empty.
bool SingleItem(LPCITEMIDLIST list, Item& item);
bool LastItem(LPCITEMIDLIST list, Item& item);
// A new id list from the task allocator.
LPITEMIDLIST MakeIdList(const std::vector<Item>& items);
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

// The roots of "Computer": "/" and the mount points under /media, /mnt and /run/media.
std::vector<std::string> DriveRoots();
std::string HomePath();

// The display name of an item: the special folders' names, a drive's path, a name's text.
std::u16string ItemDisplayName(const Item& item);

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
Facts FactsOfPath(const std::string& path);
// Reads who this process is now (a listing does it once, not per entry).
void ReadCredentials();
DWORD FileAttributes(const std::string& name, const Facts& facts);
bool HasSubfolder(const std::string& path);

// The system image lists and the icon of an item.
HIMAGELIST SystemImageList(bool small);
int IconOf(const Item& item, const Facts* facts);
std::u16string TypeNameOf(const Item& item);
} // namespace ShellDetail
