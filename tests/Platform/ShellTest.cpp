// The shell layer: names, the namespace, file operations that lose nothing, change notifications,
// opening files, the OLE clipboard and the drag loop.
#include "Platform/Shell/ShlObj.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/FolderTree.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace
{
// Folders the process may still open, -1 for no bound: past it the process ends at once, so that
// an operation that would walk the disk is caught by what it reads, however small or fast the disk.
int g_folderBound = -1;
} // namespace

extern "C" DIR* opendir(const char* name)
{
    using Open = DIR* (*)(const char*);
    static const auto next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "opendir"));
    if (g_folderBound >= 0 && g_folderBound-- == 0)
        _exit(3);
    return next(name);
}

namespace
{
std::u16string W(const std::string& native)
{
    return Platform::WideName(native);
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A double-NUL-ended list.
std::u16string List(std::initializer_list<std::string> paths)
{
    std::u16string list;
    for (const std::string& p : paths)
    {
        list += W(p);
        list.push_back(0);
    }
    list.push_back(0);
    return list;
}

int FileOp(UINT function, const std::u16string& from, const std::u16string& to, FILEOP_FLAGS flags,
           BOOL* aborted = nullptr)
{
    SHFILEOPSTRUCTW op{};
    op.wFunc = function;
    op.pFrom = from.c_str();
    op.pTo = to.empty() ? nullptr : to.c_str();
    op.fFlags = flags;
    int rc = SHFileOperationW(&op);
    if (aborted)
        *aborted = op.fAnyOperationsAborted;
    return rc;
}

// Sets an environment variable for the scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

LPITEMIDLIST Parse(const std::string& path)
{
    IShellFolder* desktop = nullptr;
    EXPECT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    std::u16string wide = W(path);
    LPITEMIDLIST list = nullptr;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &list, nullptr);
    desktop->Release();
    return SUCCEEDED(hr) ? list : nullptr;
}

std::string PathOf(LPCITEMIDLIST list)
{
    WCHAR buffer[MAX_PATH];
    if (!SHGetPathFromIDListW(list, buffer))
        return {};
    return Platform::NativeName(buffer);
}

// Bytes of an id list without its terminator.
size_t ListBytes(LPCITEMIDLIST list)
{
    size_t total = 0;
    for (;;)
    {
        WORD cb;
        std::memcpy(&cb, reinterpret_cast<const BYTE*>(list) + total, 2);
        if (cb == 0)
            return total;
        total += cb;
    }
}

LPITEMIDLIST Joined(LPCITEMIDLIST a, LPCITEMIDLIST b)
{
    size_t na = ListBytes(a), nb = ListBytes(b);
    auto* p = static_cast<BYTE*>(CoTaskMemAlloc(na + nb + 2));
    std::memcpy(p, a, na);
    std::memcpy(p + na, b, nb + 2);
    return reinterpret_cast<LPITEMIDLIST>(p);
}

// Descriptors this process has open now.
size_t OpenDescriptors()
{
    size_t n = 0;
    for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it)
        ++n;
    return n;
}

std::vector<std::u16string> ChildNames(IShellFolder* folder, DWORD flags)
{
    std::vector<std::u16string> names;
    IEnumIDList* e = nullptr;
    if (folder->EnumObjects(nullptr, flags, &e) != S_OK)
        return names;
    LPITEMIDLIST id;
    ULONG got;
    while (e->Next(1, &id, &got) == S_OK)
    {
        STRRET name;
        folder->GetDisplayNameOf(id, SHGDN_NORMAL, &name);
        names.push_back(name.pOleStr);
        CoTaskMemFree(name.pOleStr);
        CoTaskMemFree(id);
    }
    e->Release();
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(ShellNamesTest, BytesThatAreNotUtf8SurviveTheRoundTrip)
{
    std::string name = "caf\xE9-\xFF\xC3\xA9.txt"; // Latin-1 e-acute, a stray byte, then real UTF-8
    std::u16string wide = W(name);
    EXPECT_EQ(wide, std::u16string(u"caf\xDCE9-\xDCFF\u00E9.txt"));
    EXPECT_EQ(Platform::NativeName(wide.c_str()), name);
    // A real surrogate pair is a character, not two escaped bytes.
    EXPECT_EQ(Platform::NativeName(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(ShellNamespaceTest, DesktopHoldsFourFoldersAndPathsRoundTrip)
{
    IShellFolder* desktop = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    IEnumIDList* e = nullptr;
    ASSERT_EQ(desktop->EnumObjects(nullptr, SHCONTF_FOLDERS, &e), S_OK);
    std::vector<std::u16string> order;
    LPITEMIDLIST id;
    ULONG got;
    while (e->Next(1, &id, &got) == S_OK)
    {
        STRRET name;
        desktop->GetDisplayNameOf(id, SHGDN_NORMAL, &name);
        order.push_back(name.pOleStr);
        CoTaskMemFree(name.pOleStr);
        // The control panel and the network are empty; the others have subfolders.
        ULONG attributes = SFGAO_HASSUBFOLDER | SFGAO_FOLDER;
        LPCITEMIDLIST one = id;
        desktop->GetAttributesOf(1, &one, &attributes);
        bool empty = order.back() == u"Control Panel" || order.back() == u"Network";
        EXPECT_EQ(attributes, empty ? SFGAO_FOLDER : SFGAO_FOLDER | SFGAO_HASSUBFOLDER);
        CoTaskMemFree(id);
    }
    e->Release();
    EXPECT_EQ(order, (std::vector<std::u16string>{u"Computer", u"Control Panel", u"Home", u"Network"}));

    TempDir dir("shellns");
    fs::create_directories(dir / "a" / "b");
    std::string path = (dir / "a" / "b").string();
    LPITEMIDLIST list = Parse(path + "/../b/.");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(PathOf(list), path);
    CoTaskMemFree(list);
    // Only absolute paths, and only what exists.
    EXPECT_EQ(Parse("relative/path"), nullptr);
    EXPECT_EQ(Parse(path + "/missing"), nullptr);

    LPITEMIDLIST controls = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_CONTROLS, &controls), S_OK);
    EXPECT_EQ(PathOf(controls), "");
    CoTaskMemFree(controls);
    desktop->Release();
}

TEST(ShellNamespaceTest, FolderItemsCarryTheirAttributesAndTypes)
{
    TempDir dir("shellattr");
    WriteFile(dir / "plain.txt", "12345");
    WriteFile(dir / ".hidden", "");
    WriteFile(dir / "noext", "");
    fs::create_directory(dir / "sub");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::string odd = "odd\xFFname";
    WriteFile(dir / odd, "x");

    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    LPITEMIDLIST list = Parse(dir.Path().string());
    IShellFolder* folder = nullptr;
    ASSERT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)), S_OK);
    EXPECT_EQ(ChildNames(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS),
              (std::vector<std::u16string>{u"noext", W(odd), u"pipe", u"plain.txt", u"sub"}));
    EXPECT_EQ(ChildNames(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN).size(), 6u);

    IEnumIDList* e = nullptr;
    folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &e);
    LPITEMIDLIST id;
    ULONG got;
    int seen = 0;
    while (e->Next(1, &id, &got) == S_OK)
    {
        WIN32_FIND_DATAW find;
        ASSERT_EQ(SHGetDataFromIDListW(folder, id, SHGDFIL_FINDDATA, &find, sizeof find), S_OK);
        std::u16string name = find.cFileName;
        LPITEMIDLIST absolute = Joined(list, id);
        SHFILEINFOW info{};
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_TYPENAME);
        std::u16string type = info.szTypeName;
        if (name == u"plain.txt")
        {
            EXPECT_EQ(find.nFileSizeLow, 5u);
            EXPECT_EQ(type, u"TXT File");
            ++seen;
        }
        else if (name == u".hidden")
        {
            EXPECT_TRUE(find.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
            EXPECT_EQ(type, u"File"); // a leading dot is no extension
            ++seen;
        }
        else if (name == u"sub")
        {
            EXPECT_TRUE(find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_EQ(type, u"File folder");
            ++seen;
        }
        else if (name == u"pipe")
        {
            EXPECT_TRUE(find.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM);
            ++seen;
        }
        else if (name == W(odd))
        {
            // The escaped name leads back to the very file.
            EXPECT_EQ(PathOf(absolute), (dir / odd).string());
            ++seen;
        }
        CoTaskMemFree(absolute);
        CoTaskMemFree(id);
    }
    EXPECT_EQ(seen, 5);
    e->Release();
    folder->Release();
    CoTaskMemFree(list);
    desktop->Release();
}

// A folder large enough that its facts are gathered on several threads: every entry comes once,
// each with its own size, kind and link facts, whatever part of the listing asked for it.
TEST(ShellNamespaceTest, ALargeFolderListsEveryEntryWithItsOwnFacts)
{
    TempDir dir("shellbig");
    const int files = 9000;
    for (int i = 0; i < files; ++i)
    {
        std::string name = (i % 3 ? "f" : "\xD0\x9F-") + std::to_string(i) + (i % 5 ? ".dat" : "");
        int fd = open((dir / name).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, i), 0);
        close(fd);
    }
    fs::create_directory(dir / "sub");
    fs::create_directory_symlink(dir / "sub", dir / "linked");
    fs::create_symlink(dir / "missing", dir / "broken");
    std::string longest(255, 'n');
    WriteFile(dir / longest, "abc");

    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    LPITEMIDLIST list = Parse(dir.Path().string());
    IShellFolder* folder = nullptr;
    ASSERT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)), S_OK);
    const size_t descriptors = OpenDescriptors();
    IEnumIDList* e = nullptr;
    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e), S_OK);
    IEnumIDList* clone = nullptr;
    ASSERT_EQ(e->Clone(&clone), S_OK);

    std::vector<int> seen(files, 0);
    int folders = 0, others = 0;
    LPITEMIDLIST ids[7];
    ULONG got = 0;
    HRESULT hr;
    do
    {
        hr = e->Next(7, ids, &got); // several at a time, the last call short
        for (ULONG k = 0; k < got; ++k)
        {
            WIN32_FIND_DATAW find;
            ASSERT_EQ(SHGetDataFromIDListW(folder, ids[k], SHGDFIL_FINDDATA, &find, sizeof find), S_OK);
            std::string name = Platform::NativeName(find.cFileName);
            uint64_t size = (uint64_t(find.nFileSizeHigh) << 32) | find.nFileSizeLow;
            ULONG attributes = SFGAO_FOLDER | SFGAO_LINK;
            LPCITEMIDLIST one = ids[k];
            ASSERT_EQ(folder->GetAttributesOf(1, &one, &attributes), S_OK);
            if (name == "sub" || name == "linked")
            {
                EXPECT_TRUE(find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) << name;
                EXPECT_EQ(attributes & SFGAO_LINK, name == "linked" ? ULONG(SFGAO_LINK) : 0u);
                ++folders;
            }
            else if (name == "broken" || name == longest)
            {
                EXPECT_EQ(size, name == longest ? 3u : 0u);
                ++others;
            }
            else
            {
                size_t digits = name.find_first_of("0123456789");
                ASSERT_NE(digits, std::string::npos) << name;
                int i = std::atoi(name.c_str() + digits);
                ASSERT_TRUE(i >= 0 && i < files) << name;
                EXPECT_EQ(size, uint64_t(i)) << name;
                EXPECT_FALSE(find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) << name;
                ++seen[i];
            }
            CoTaskMemFree(ids[k]);
        }
    } while (hr == S_OK);
    // The listing is read; the descriptors its helpers opened went with it.
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), files);
    EXPECT_EQ(folders, 2);
    EXPECT_EQ(others, 2);

    // The clone walks the same listing; only folders when only folders are asked.
    ULONG total = 0;
    while (clone->Next(1, ids, &got) == S_OK)
        CoTaskMemFree(ids[0]), ++total;
    EXPECT_EQ(total, ULONG(files + 4));
    IEnumIDList* onlyFolders = nullptr;
    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &onlyFolders), S_OK);
    EXPECT_EQ(onlyFolders->Skip(1), S_OK);
    ASSERT_EQ(onlyFolders->Next(1, ids, &got), S_OK);
    CoTaskMemFree(ids[0]);
    EXPECT_EQ(onlyFolders->Next(1, ids, &got), S_FALSE);
    EXPECT_EQ(got, 0u);
    onlyFolders->Release();
    clone->Release();
    e->Release();
    folder->Release();
    CoTaskMemFree(list);
    desktop->Release();
}

// Names that go while their folder is read are left out, whichever thread asks their facts: every
// entry an enumeration gives has facts of its own. Another thread removes files and makes them
// again throughout, so that names read a moment earlier are gone when their facts are asked.
TEST(ShellNamespaceTest, NamesGoneWhileTheFolderIsReadAreLeftOut)
{
    TempDir dir("shellchurn");
    // Names of one file, made and removed as links: far cheaper than files of their own.
    const std::string origin = (dir / "origin").string();
    WriteFile(origin, "x");
    const int files = 3000; // enough that helpers ask facts while the names are still read
    std::vector<std::string> paths;
    for (int i = 0; i < files; ++i)
    {
        paths.push_back((dir / ("c" + std::to_string(i))).string());
        ASSERT_EQ(link(origin.c_str(), paths.back().c_str()), 0);
    }
    struct Churn
    {
        const std::string& origin;
        const std::vector<std::string>& paths;
        std::atomic<bool> stop{false};
        std::atomic<long> rounds{0};
        std::thread thread;
        Churn(const std::string& o, const std::vector<std::string>& p) : origin(o), paths(p)
        {
            thread = std::thread(
                [this]
                {
                    const size_t window = 200; // gone long enough to be read and then missed
                    for (size_t from = 0; !stop; from = (from + window) % paths.size())
                    {
                        size_t to = std::min(from + window, paths.size());
                        for (size_t i = from; i < to; ++i)
                            unlink(paths[i].c_str());
                        for (size_t i = from; i < to; ++i)
                            link(origin.c_str(), paths[i].c_str());
                        ++rounds;
                        rounds.notify_all();
                    }
                });
        }
        ~Churn()
        {
            stop = true;
            thread.join();
        }
    } churn(origin, paths);

    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    LPITEMIDLIST list = Parse(dir.Path().string());
    IShellFolder* folder = nullptr;
    ASSERT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
              S_OK);
    size_t listed = 0, withoutFacts = 0;
    std::string firstWithout;
    for (int pass = 0; pass < 4; ++pass)
    {
        // Each listing starts once the other thread is at work.
        long rounds = churn.rounds;
        churn.rounds.wait(rounds);
        IEnumIDList* e = nullptr;
        ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e), S_OK);
        LPITEMIDLIST ids[64];
        ULONG got = 0;
        HRESULT hr;
        do
        {
            hr = e->Next(64, ids, &got);
            for (ULONG k = 0; k < got; ++k)
            {
                WIN32_FIND_DATAW find;
                if (SHGetDataFromIDListW(folder, ids[k], SHGDFIL_FINDDATA, &find, sizeof find) != S_OK &&
                    withoutFacts++ == 0)
                {
                    STRRET name;
                    folder->GetDisplayNameOf(ids[k], SHGDN_NORMAL, &name);
                    firstWithout = Platform::NativeName(name.pOleStr);
                    CoTaskMemFree(name.pOleStr);
                }
                CoTaskMemFree(ids[k]);
            }
            listed += got;
        } while (hr == S_OK);
        e->Release();
    }
    EXPECT_GT(listed, 0u);
    EXPECT_EQ(withoutFacts, 0u) << "of " << listed << " listed, the first: " << firstWithout;
    folder->Release();
    CoTaskMemFree(list);
    desktop->Release();
}

// An enumeration reads its folder when first asked for entries: a folder that cannot be opened
// fails at once, one that goes away before the first Next lists nothing, and entries made in
// between are listed.
TEST(ShellNamespaceTest, AnEnumerationReadsItsFolderWhenFirstAsked)
{
    TempDir dir("shelllazy");
    fs::create_directory(dir / "sub");
    WriteFile(dir / "sub" / "early", "1");
    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    LPITEMIDLIST list = Parse((dir / "sub").string());
    IShellFolder* folder = nullptr;
    ASSERT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)), S_OK);

    IEnumIDList* e = nullptr;
    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &e), S_OK);
    WriteFile(dir / "sub" / "late", "22");
    std::vector<std::string> names;
    LPITEMIDLIST id;
    ULONG got;
    while (e->Next(1, &id, &got) == S_OK)
    {
        WIN32_FIND_DATAW find;
        ASSERT_EQ(SHGetDataFromIDListW(folder, id, SHGDFIL_FINDDATA, &find, sizeof find), S_OK);
        names.push_back(Platform::NativeName(find.cFileName) + ":" + std::to_string(find.nFileSizeLow));
        CoTaskMemFree(id);
    }
    e->Release();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"early:1", "late:2"}));

    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &e), S_OK);
    fs::remove_all(dir / "sub");
    EXPECT_EQ(e->Next(1, &id, &got), S_FALSE);
    EXPECT_EQ(got, 0u);
    e->Release();
    EXPECT_NE(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &e), S_OK);
    folder->Release();
    CoTaskMemFree(list);
    desktop->Release();
}

TEST(ShellFileOperationTest, LinksAreNeverFollowed)
{
    TempDir dir("shelllink");
    fs::create_directories(dir / "outside");
    WriteFile(dir / "outside" / "precious", "keep me");
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "own", "own bytes");
    fs::create_directory_symlink(dir / "outside", dir / "src" / "link");
    fs::create_directory(dir / "copies");
    fs::create_directory(dir / "moved");
    BoxRecorder boxes;

    ASSERT_EQ(FileOp(FO_COPY, List({(dir / "src").string()}), List({(dir / "copies").string()}), 0), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "copies" / "src" / "link"));
    EXPECT_EQ(fs::read_symlink(dir / "copies" / "src" / "link"), dir / "outside");
    EXPECT_EQ(ReadFile(dir / "copies" / "src" / "own"), "own bytes");

    ASSERT_EQ(FileOp(FO_MOVE, List({(dir / "copies" / "src").string()}), List({(dir / "moved").string()}), 0), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "moved" / "src" / "link"));
    EXPECT_FALSE(fs::exists(dir / "copies" / "src"));

    ASSERT_EQ(FileOp(FO_DELETE, List({(dir / "moved" / "src").string(), (dir / "src").string()}), u"",
                     FOF_NOCONFIRMATION),
              0);
    EXPECT_FALSE(fs::exists(dir / "src"));
    EXPECT_EQ(ReadFile(dir / "outside" / "precious"), "keep me");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(ShellFileOperationTest, NamesThatAreNotUtf8CopyAndDelete)
{
    TempDir dir("shellodd");
    std::string odd = "r\xE9sum\xE9.doc";
    WriteFile(dir / odd, "latin-1 name");
    fs::create_directory(dir / "to");
    std::u16string from = List({(dir / odd).string()});
    ASSERT_EQ(FileOp(FO_COPY, from, List({(dir / "to").string()}), 0), 0);
    EXPECT_EQ(ReadFile(dir / "to" / odd), "latin-1 name");
    ASSERT_EQ(FileOp(FO_DELETE, List({(dir / "to" / odd).string(), (dir / odd).string()}), u"", FOF_NOCONFIRMATION),
              0);
    EXPECT_FALSE(fs::exists(dir / odd));
    EXPECT_TRUE(fs::is_empty(dir / "to"));
}

TEST(ShellFileOperationTest, AFailedReplacementLeavesTheTargetWhole)
{
    TempDir dir("shellfsize");
    WriteFile(dir / "big", std::string(64 * 1024, 'n'));
    fs::create_directory(dir / "to");
    WriteFile(dir / "to" / "big", "the old target");
    BoxRecorder boxes;
    boxes.answer = IDYES; // replace it

    // Writes past 4 KiB fail (the signal ignored, so the write reports EFBIG).
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldSignal = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int rc = FileOp(FO_COPY, List({(dir / "big").string()}), List({(dir / "to").string()}), 0);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldSignal);

    EXPECT_NE(rc, 0);
    EXPECT_EQ(ReadFile(dir / "to" / "big"), "the old target");
    // Nothing half-written stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "to"), fs::directory_iterator()), 1);
    ASSERT_EQ(boxes.boxes.size(), 2u); // the question, then the error
    EXPECT_EQ(boxes.boxes[0].caption, u"Confirm Replace");
    EXPECT_EQ(boxes.boxes[1].caption, u"Error Copying File or Folder");
}

TEST(ShellFileOperationTest, AMoveBetweenFileSystemsKeepsEveryByte)
{
    TempDir dir("shellxdev");
    struct stat a, b;
    if (stat(dir.Path().c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    std::string other = "/dev/shm/kelvane-shell-XXXXXX";
    ASSERT_NE(mkdtemp(other.data()), nullptr);
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes.push_back(static_cast<char>((static_cast<uint32_t>(i) * 7919u) >> 3));
    fs::create_directories(dir / "tree" / "inner");
    WriteFile(dir / "tree" / "inner" / "data.bin", bytes);
    WriteFile(dir / "single", "one file");
    fs::create_symlink("inner/data.bin", dir / "tree" / "alias");

    int rc = FileOp(FO_MOVE, List({(dir / "tree").string(), (dir / "single").string()}), List({other}), 0);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFile(fs::path(other) / "tree" / "inner" / "data.bin"), bytes);
    EXPECT_EQ(ReadFile(fs::path(other) / "single"), "one file");
    EXPECT_EQ(fs::read_symlink(fs::path(other) / "tree" / "alias"), "inner/data.bin");
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_FALSE(fs::exists(dir / "single"));
    fs::remove_all(other);
}

TEST(ShellFileOperationTest, DeleteAsksAndTrashesWithARecord)
{
    TempDir dir("shelltrash");
    ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
    WriteFile(dir / "doomed name.txt", "still here");
    BoxRecorder boxes;
    boxes.answer = IDNO;
    BOOL aborted = FALSE;
    EXPECT_NE(FileOp(FO_DELETE, List({(dir / "doomed name.txt").string()}), u"", FOF_ALLOWUNDO, &aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(fs::exists(dir / "doomed name.txt"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Are you sure you want to move \"doomed name.txt\" to the Trash?");

    boxes.answer = IDYES;
    ASSERT_EQ(FileOp(FO_DELETE, List({(dir / "doomed name.txt").string()}), u"", FOF_ALLOWUNDO), 0);
    EXPECT_FALSE(fs::exists(dir / "doomed name.txt"));
    fs::path trash = dir / "data" / "Trash";
    EXPECT_EQ(ReadFile(trash / "files" / "doomed name.txt"), "still here");
    std::string info = ReadFile(trash / "info" / "doomed name.txt.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
    EXPECT_NE(info.find("/doomed%20name.txt\nDeletionDate="), std::string::npos);

    // A second one of that name goes beside it.
    WriteFile(dir / "doomed name.txt", "second");
    ASSERT_EQ(FileOp(FO_DELETE, List({(dir / "doomed name.txt").string()}), u"", FOF_ALLOWUNDO), 0);
    EXPECT_EQ(ReadFile(trash / "files" / "doomed name.txt.2"), "second");
    EXPECT_TRUE(fs::exists(trash / "info" / "doomed name.txt.2.trashinfo"));
}

TEST(ShellFileOperationTest, RefusesWhatWouldLoseOrTangleFiles)
{
    TempDir dir("shellrefuse");
    fs::create_directories(dir / "folder" / "inner");
    WriteFile(dir / "folder" / "file.txt", "original");
    WriteFile(dir / "other.txt", "other");
    BoxRecorder boxes;

    // A folder into itself.
    EXPECT_NE(FileOp(FO_COPY, List({(dir / "folder").string()}), List({(dir / "folder" / "inner").string()}), 0), 0);
    EXPECT_NE(FileOp(FO_MOVE, List({(dir / "folder").string()}), List({(dir / "folder" / "inner").string()}), 0), 0);
    EXPECT_TRUE(fs::is_empty(dir / "folder" / "inner"));
    // Relative paths are no paths.
    EXPECT_NE(FileOp(FO_DELETE, List({"folder/file.txt"}), u"", FOF_NOCONFIRMATION), 0);
    EXPECT_TRUE(fs::exists(dir / "folder" / "file.txt"));
    ASSERT_EQ(boxes.boxes.size(), 3u);
    for (const RecordedBox& box : boxes.boxes)
        EXPECT_EQ(box.type, MB_OK | MB_ICONERROR);

    // A copy onto itself gets a name of its own.
    ASSERT_EQ(FileOp(FO_COPY, List({(dir / "other.txt").string()}), List({dir.Path().string()}), 0), 0);
    ASSERT_EQ(FileOp(FO_COPY, List({(dir / "other.txt").string()}), List({dir.Path().string()}), 0), 0);
    EXPECT_EQ(ReadFile(dir / "other - Copy.txt"), "other");
    EXPECT_EQ(ReadFile(dir / "other - Copy (2).txt"), "other");

    // An existing target asks; No skips it and keeps both.
    boxes.boxes.clear();
    boxes.answer = IDNO;
    WriteFile(dir / "folder" / "other.txt", "in the way");
    BOOL aborted = FALSE;
    EXPECT_EQ(FileOp(FO_MOVE, List({(dir / "other.txt").string()}), List({(dir / "folder").string()}), 0, &aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ReadFile(dir / "folder" / "other.txt"), "in the way");
    EXPECT_EQ(ReadFile(dir / "other.txt"), "other");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, u"Confirm Replace");
    boxes.answer = IDYES;
    EXPECT_EQ(FileOp(FO_MOVE, List({(dir / "other.txt").string()}), List({(dir / "folder").string()}), 0), 0);
    EXPECT_EQ(ReadFile(dir / "folder" / "other.txt"), "other");

    // Several renames at once.
    WriteFile(dir / "r1", "1");
    WriteFile(dir / "r2", "2");
    EXPECT_EQ(FileOp(FO_MOVE, List({(dir / "r1").string(), (dir / "r2").string()}),
                     List({(dir / "s1").string(), (dir / "s2").string()}), FOF_MULTIDESTFILES),
              0);
    EXPECT_EQ(ReadFile(dir / "s1") + ReadFile(dir / "s2"), "12");

    // A list whose later item is refused moves none of the earlier ones, and the missing
    // destination is not made.
    boxes.boxes.clear();
    std::map<std::string, std::string> before = FolderContents(dir.Path());
    EXPECT_NE(FileOp(FO_MOVE, List({(dir / "s1").string(), (dir / "folder").string()}),
                     List({(dir / "folder" / "made").string()}), 0),
              0);
    EXPECT_EQ(FolderContents(dir.Path()), before);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

namespace
{
constexpr int DE_DESTSUBTREE = 0x76;

std::string RefusalText(UINT function, const std::string& name)
{
    return std::string("Cannot ") + (function == FO_MOVE ? "move" : "copy") + " \"" + name +
           "\": the destination folder is inside the source folder.";
}

std::u16string Caption(UINT function)
{
    return function == FO_MOVE ? u"Error Moving File or Folder" : u"Error Copying File or Folder";
}
} // namespace

// A path from another program may end in ".." or ".", or in a slash, or name a link: it is taken
// as the path it spells, whose own name the copy gets, directly in the destination folder; a
// folder into itself or below itself is refused in every spelling.
TEST(ShellFileOperationTest, PathsEndingInDotsLandInTheDestinationOrAreRefused)
{
    struct Case
    {
        std::string source; // below the test's folder
        UINT function;
        std::string refusedName;                                // empty: the operation succeeds
        std::vector<std::pair<std::string, std::string>> added; // below the test's folder
        std::vector<std::string> removed;
        std::string into = "fl/S"; // the destination folder, below the test's folder
    };
    const std::vector<std::pair<std::string, std::string>> elsewhereInS = {
        {"fl/S/elsewhere", "dir"}, {"fl/S/elsewhere/e1.txt", "elsewhere's"}, {"fl/S/elsewhere/sub", "dir"}};
    const std::vector<std::string> elsewhere = {"fl/elsewhere", "fl/elsewhere/e1.txt", "fl/elsewhere/sub"};
    std::vector<Case> cases;
    for (UINT function : {FO_COPY, FO_MOVE})
    {
        std::vector<std::string> gone = function == FO_MOVE ? elsewhere : std::vector<std::string>();
        cases.push_back({"fl/elsewhere/sub/..", function, "", elsewhereInS, gone});
        cases.push_back({"fl/elsewhere//sub/../", function, "", elsewhereInS, gone});
        cases.push_back({"fl/elsewhere/sub/./..", function, "", elsewhereInS, gone});
        cases.push_back({"fl/elsewhere/./e1.txt", function, "", {{"fl/S/e1.txt", "elsewhere's"}},
                         function == FO_MOVE ? std::vector<std::string>{"fl/elsewhere/e1.txt"}
                                             : std::vector<std::string>()});
        for (const char* spelling : {"fl/S/.", "fl/S/", "fl/S//", "fl/S/./", "fl/S/sub/..", "fl/elsewhere/../S"})
            cases.push_back({spelling, function, "S", {}, {}});
        cases.push_back({"fl/S/..", function, "fl", {}, {}});
        cases.push_back({"fl/S/../", function, "fl", {}, {}});
        cases.push_back({"fl/toS", function, "toS", {}, {}});
        cases.push_back({"fl/toS/", function, "toS", {}, {}});
        cases.push_back({"fl/toS/.", function, "toS", {}, {}});
        // A link to the root holds everything; a sibling whose name begins with the source's does not.
        cases.push_back({"fl/toRoot", function, "toRoot", {}, {}});
        cases.push_back({"fl/S", function, "", {{"fl/S2/S", "dir"}, {"fl/S2/S/s.txt", "in S"}},
                         function == FO_MOVE ? std::vector<std::string>{"fl/S", "fl/S/s.txt"}
                                             : std::vector<std::string>(),
                         "fl/S2"});
        // Into a folder through a link to it.
        cases.push_back({"fl/S", function, "S", {}, {}, "fl/toS"});
        cases.push_back({"fl/S/.", function, "S", {}, {}, "fl/toS/."});
        cases.push_back({"fl/elsewhere/sub/..", function, "", elsewhereInS, gone, "fl/toS"});
        // A folder onto itself, spelled with a dot: a copy beside it, a move with nothing to do.
        cases.push_back({"fl/S/.", function, "",
                         function == FO_MOVE ? std::vector<std::pair<std::string, std::string>>()
                                             : std::vector<std::pair<std::string, std::string>>{
                                                   {"fl/S - Copy", "dir"}, {"fl/S - Copy/s.txt", "in S"}},
                         {}, "fl"});
    }
    for (const Case& c : cases)
    {
        SCOPED_TRACE((c.function == FO_MOVE ? "move " : "copy ") + c.source + " into " + c.into);
        TempDir dir("shelldots");
        fs::create_directories(dir / "fl" / "S");
        fs::create_directories(dir / "fl" / "elsewhere" / "sub");
        WriteFile(dir / "fl" / "S" / "s.txt", "in S");
        WriteFile(dir / "fl" / "elsewhere" / "e1.txt", "elsewhere's");
        WriteFile(dir / "fl" / "e1.txt", "fl's");
        fs::create_directory_symlink(dir / "fl" / "S", dir / "fl" / "toS");
        fs::create_directory_symlink("/", dir / "fl" / "toRoot");
        fs::create_directories(dir / "fl" / "S2");
        std::map<std::string, std::string> expected = FolderContents(dir.Path());
        for (const auto& [path, content] : c.added)
            expected[path] = content;
        for (const std::string& path : c.removed)
            expected.erase(path);
        BoxRecorder boxes;
        boxes.answer = IDYES; // a question to replace would be answered Yes

        int rc = FileOp(c.function, List({dir.Path().string() + "/" + c.source}),
                        List({dir.Path().string() + "/" + c.into}), 0);

        int depth = FolderDepth(dir / "fl" / "S");
        EXPECT_LE(depth, 2) << "folders nested in S";
        if (depth > 2)
            EmptyFolderDeep(dir / "fl" / "S");
        EXPECT_EQ(FolderContents(dir.Path()), expected);
        if (c.refusedName.empty())
        {
            EXPECT_EQ(rc, 0);
            EXPECT_TRUE(boxes.boxes.empty())
                << (boxes.boxes.empty() ? "" : Platform::ToUtf8(boxes.boxes[0].text.c_str()));
        }
        else
        {
            EXPECT_EQ(rc, DE_DESTSUBTREE);
            EXPECT_EQ(boxes.boxes.size(), 1u);
            if (boxes.boxes.empty())
                continue;
            EXPECT_EQ(boxes.boxes[0].caption, Caption(c.function));
            EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()), RefusalText(c.function, c.refusedName));
            EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONERROR);
        }
    }
}

// The root into a folder is a folder into one below itself in every spelling: refused before any
// of the disk is read, let alone written (a child that opens more than a few folders ends at once).
// Run by the unprivileged user in a child of its own that may not outlive a few seconds, so that a
// fault can neither take nor fill the machine.
TEST(ShellFileOperationTest, TheRootIntoAFolderIsRefusedAtOnce)
{
    TempDir dir("shellroot");
    fs::create_directories(dir / "fl" / "S");
    WriteFile(dir / "fl" / "S" / "s.txt", "in S");
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    std::map<std::string, std::string> before = FolderContents(dir.Path());
    std::string shown = (dir / "fl" / "S").string();
    for (UINT function : {FO_COPY, FO_MOVE})
        for (const char* spelling : {"/", "//", "/.", "/..", "/./", "/tmp/..", "/tmp/../."})
        {
            SCOPED_TRACE((function == FO_MOVE ? "move " : "copy ") + std::string(spelling));
            EXPECT_TRUE(InChildProcess(
                [&]
                {
                    alarm(5);
                    LimitFileSize(1 << 20);
                    if (!BecomeUnprivileged())
                        return false;
                    BoxRecorder boxes;
                    g_folderBound = 8; // a few folders, not the disk
                    int rc = FileOp(function, List({spelling}), List({shown}), 0);
                    std::string text = boxes.boxes.empty() ? "" : Platform::ToUtf8(boxes.boxes[0].text.c_str());
                    bool ok = rc == DE_DESTSUBTREE && boxes.boxes.size() == 1 && text == RefusalText(function, "/") &&
                              boxes.boxes[0].caption == Caption(function);
                    if (!ok)
                        std::fprintf(stderr, "rc %d, %zu boxes, \"%s\"\n", rc, boxes.boxes.size(), text.c_str());
                    return ok;
                }));
            EXPECT_EQ(FolderContents(dir.Path()), before);
        }
}

// Named targets (a batch rename) that end in ".." or "." would be other folders: refused, and
// nothing moves.
TEST(ShellFileOperationTest, ATargetNamedDotOrDotDotIsRefused)
{
    TempDir dir("shelldottarget");
    fs::create_directories(dir / "fl" / "S");
    fs::create_directories(dir / "fl" / "elsewhere" / "sub");
    WriteFile(dir / "fl" / "elsewhere" / "e1.txt", "elsewhere's");
    WriteFile(dir / "fl" / "e1.txt", "fl's");
    std::map<std::string, std::string> before = FolderContents(dir.Path());
    for (UINT function : {FO_MOVE, FO_RENAME})
        for (const char* target : {"fl/S/..", "fl/S/../", "fl/S/.", "fl/elsewhere/sub/.."})
        {
            SCOPED_TRACE(std::string(function == FO_MOVE ? "move to " : "rename to ") + target);
            BoxRecorder boxes;
            boxes.answer = IDYES;
            int rc = FileOp(function, List({(dir / "fl" / "elsewhere").string()}),
                            List({dir.Path().string() + "/" + target}), FOF_MULTIDESTFILES);
            EXPECT_NE(rc, 0);
            EXPECT_EQ(FolderContents(dir.Path()), before);
            ASSERT_EQ(boxes.boxes.size(), 1u);
            std::string name = fs::path(target).filename().string();
            if (name.empty())
                name = fs::path(target).parent_path().filename().string();
            EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()),
                      "Cannot move to \"" + name + "\": Invalid argument.");
        }
}

// Deleting the root is refused at once, before it is asked about or measured (which would read the
// whole disk); by the unprivileged user in a child that may not outlive a few seconds.
TEST(ShellFileOperationTest, TheRootIsNeverDeleted)
{
    for (const char* spelling : {"/", "/..", "/tmp/.."})
    {
        SCOPED_TRACE(spelling);
        EXPECT_TRUE(InChildProcess(
            [&]
            {
                alarm(5);
                if (!BecomeUnprivileged())
                    return false;
                BoxRecorder boxes;
                boxes.answer = IDNO; // should it ask, it is told No
                g_folderBound = 8;
                int rc = FileOp(FO_DELETE, List({spelling}), u"", 0);
                std::string text = boxes.boxes.empty() ? "" : Platform::ToUtf8(boxes.boxes[0].text.c_str());
                bool ok = rc != 0 && boxes.boxes.size() == 1 &&
                          text == "Cannot delete \"/\": Operation not permitted." &&
                          boxes.boxes[0].caption == u"Error Deleting File or Folder";
                if (!ok)
                    std::fprintf(stderr, "rc %d, %zu boxes, \"%s\"\n", rc, boxes.boxes.size(), text.c_str());
                return ok;
            }));
    }
}

TEST(ShellFileOperationTest, ProgressAfterASecondMayCancelBetweenFiles)
{
    TempDir dir("shellprogress");
    for (int i = 0; i < 5; ++i)
        WriteFile(dir / ("f" + std::to_string(i)), std::string(100, 'x'));
    fs::create_directory(dir / "to");
    DWORD now = 0;
    Platform::TickClock previousClock = Platform::SetTickClock([&now] { return now += 300; });
    std::vector<uint64_t> seen;
    bool ended = false;
    auto previous = Platform::SetFileOperationProgress(
        [&seen, &ended](uint64_t done, uint64_t total, const std::u16string& name)
        {
            if (name.empty())
                return ended = true; // the operation is over: the progress may go
            EXPECT_EQ(total, 500u);
            seen.push_back(done);
            return seen.size() < 2;
        });
    std::u16string from;
    for (int i = 0; i < 5; ++i)
        from += W((dir / ("f" + std::to_string(i))).string()) + u'\0';
    from += u'\0';
    BOOL aborted = FALSE;
    int rc = FileOp(FO_COPY, from, List({(dir / "to").string()}), 0, &aborted);
    Platform::SetFileOperationProgress(previous);
    Platform::SetTickClock(previousClock);
    EXPECT_NE(rc, 0);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(ended);
    ASSERT_GE(seen.size(), 2u);
    // Whole files only: what was copied is complete, the rest is not there at all.
    size_t copied = 0;
    for (auto& entry : fs::directory_iterator(dir / "to"))
    {
        EXPECT_EQ(fs::file_size(entry.path()), 100u);
        ++copied;
    }
    EXPECT_EQ(copied * 100, seen.back());
    EXPECT_LT(copied, 5u);
}

TEST(ShellChangeNotificationTest, NamesAndSizesSignalTheirOwnHandles)
{
    TempDir dir("shellnotify");
    WriteFile(dir / "file", "1");
    std::u16string path = W(dir.Path().string());
    const DWORD filters[] = {FILE_NOTIFY_CHANGE_FILE_NAME, FILE_NOTIFY_CHANGE_DIR_NAME, FILE_NOTIFY_CHANGE_SIZE};
    HANDLE handles[3];
    for (int i = 0; i < 3; ++i)
    {
        handles[i] = FindFirstChangeNotificationW(path.c_str(), FALSE, filters[i]);
        ASSERT_NE(handles[i], INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_TIMEOUT);
    WriteFile(dir / "file", "grown");
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
    FindNextChangeNotification(handles[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_TIMEOUT);
    fs::rename(dir / "file", dir / "renamed");
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 0);
    FindNextChangeNotification(handles[0]);
    fs::create_directory(dir / "sub");
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    for (HANDLE h : handles)
        EXPECT_TRUE(FindCloseChangeNotification(h));
    EXPECT_EQ(FindFirstChangeNotificationW(u"/no/such/folder", FALSE, 1), INVALID_HANDLE_VALUE);
}

TEST(ShellExecuteTest, TheOpenerGetsThePathAsOneArgument)
{
    TempDir dir("shellexec");
    fs::path log = dir / "args";
    WriteFile(dir / "xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\" >> '" + log.string() +
                                    "'; done\n");
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    std::string hostile = (dir / "a b;$(touch pwned)'\"").string();
    WriteFile(hostile, "");
    const char* oldPath = std::getenv("PATH");
    ScopedEnv path("PATH", dir.Path().string() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));
    std::u16string wide = W(hostile);
    auto result = reinterpret_cast<uintptr_t>(ShellExecuteW(nullptr, u"open", wide.c_str(), nullptr, nullptr, SW_SHOW));
    EXPECT_GT(result, 32u);
    EXPECT_EQ(ReadFile(log), "[" + hostile + "]");
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ShellExecuteW(nullptr, u"open", u"/no/such/file", nullptr, nullptr, SW_SHOW)),
              SE_ERR_FNF);
}

TEST(ShellImageListTest, AddsMaskedImagesAndDrawsOnlyInBounds)
{
    HIMAGELIST list = ImageList_Create(4, 4, ILC_MASK, 0, 1);
    ASSERT_NE(list, nullptr);
    // Two images side by side: red with a magenta-keyed pixel... here keyed by green.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -4, 1, 32, 0, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP strip = CreateDIBSection(nullptr, &info, 0, &bits, nullptr, 0);
    ASSERT_NE(strip, nullptr);
    auto* px = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 32; ++i)
        px[i] = (i % 8) < 4 ? 0x00FF0000u : 0x000000FFu;
    px[0] = 0x0000FF00u; // green: the clear colour
    EXPECT_EQ(ImageList_AddMasked(list, strip, RGB(0, 255, 0)), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 2);

    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    void* targetBits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &info, 0, &targetBits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, target);
    auto* tp = static_cast<uint32_t*>(targetBits);
    std::fill(tp, tp + 256, 0x00FFFFFFu);
    EXPECT_TRUE(ImageList_Draw(list, 0, dc, 2, 2, ILD_NORMAL));
    EXPECT_TRUE(ImageList_Draw(list, 1, dc, 8, 8, ILD_NORMAL));
    EXPECT_FALSE(ImageList_Draw(list, 2, dc, 0, 0, ILD_NORMAL));
    EXPECT_FALSE(ImageList_Draw(list, -1, dc, 0, 0, ILD_NORMAL));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255)); // clear
    EXPECT_EQ(GetPixel(dc, 3, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 8, 8), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 12, 12), RGB(255, 255, 255));
    DeleteDC(dc);
    DeleteObject(target);
    DeleteObject(strip);
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(list));
}

TEST(ShellUriListTest, OnlyLocalFilesCrossAndHostileListsLeaveNothing)
{
    std::u16string list;
    std::string odd = "/tmp/a b\xFF%.txt";
    std::u16string names = W(odd) + u'\0' + u"/home/u/\u00E9t\u00E9" + u'\0' + u"relative" + u'\0' + u'\0';
    std::string text = Platform::MakeUriList(names.c_str());
    EXPECT_EQ(text, "file:///tmp/a%20b%FF%25.txt\r\nfile:///home/u/%C3%A9t%C3%A9\r\n");
    ASSERT_TRUE(Platform::ParseUriList(text, list));
    EXPECT_EQ(list, W(odd) + u'\0' + u"/home/u/\u00E9t\u00E9" + u'\0' + u'\0');

    // This machine's files: no host, "localhost" or its own name, in any case, or no authority at
    // all as other programs write it; the scheme in any case; comments and empty lines, CR LF or LF,
    // are no files.
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string shouting = host;
    for (char& c : shouting)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(Platform::ParseUriList("# comment\r\n\r\nfile://localhost/x\nfile://LocalHost/y\r\nfile://" +
                                           std::string(host) + "/own\r\n\nfile://" + shouting + "/shouted\r\n" +
                                           "#file://other/commented\nFILE:///upper\r\nfile:/one%20slash\r\n" +
                                           "File:/mixed\r\nfile:///last",
                                       list));
    EXPECT_EQ(list, std::u16string(u"/x\0/y\0/own\0/shouted\0/upper\0/one slash\0/mixed\0/last\0\0", 52));

    // A list with one line it cannot take is not taken at all (its source may delete what it hears
    // was moved), and the first such line is named. A host that is only the start of this
    // machine's names is another machine.
    std::vector<std::string> lines = {"file://other/y", "file://" + std::string(host) + ".elsewhere/z",
                                      "http://h/z", "/tmp/bare/path", "file:relative", "FILE:relative", "file:",
                                      "files:///tmp/x", "file:///bad%2", "file:///nul%00x", "file:///hex%G1",
                                      "file://localhost", "file:///" + std::string(5000, 'a'),
                                      " file:///leading/space", "file://local/y"};
    if (std::strlen(host) > 1)
        lines.push_back("file://" + std::string(host, std::strlen(host) - 1) + "/y");
    for (const std::string& bad : lines)
    {
        Platform::UriListRefusal refusal;
        EXPECT_FALSE(Platform::ParseUriList("# from a file manager\r\nfile:///tmp/a\r\n" + bad + "\r\n" + bad +
                                                "\r\nfile:///tmp/c\r\n",
                                            list, &refusal))
            << bad.substr(0, 60);
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(refusal.line, 3u);
        EXPECT_EQ(refusal.text, bad.substr(0, 1024));
    }
    // Ten thousand lines, one of them another machine's.
    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += (i == 5000 ? "file://otherhost/tmp/f" : "file:///tmp/f") + std::to_string(i) + "\r\n";
    Platform::UriListRefusal refusal;
    EXPECT_FALSE(Platform::ParseUriList(many, list, &refusal));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(refusal.line, 5001u);
    EXPECT_EQ(refusal.text, "file://otherhost/tmp/f5000");
    // A text too large or naming no file is refused as a whole, naming no line.
    EXPECT_FALSE(Platform::ParseUriList(std::string((16u << 20) + 1, 'a'), list, &refusal));
    EXPECT_EQ(refusal.line, 0u);
    EXPECT_FALSE(Platform::ParseUriList("", list, &refusal));
    EXPECT_FALSE(Platform::ParseUriList("# nothing\r\n\r\n", list, &refusal));
    EXPECT_EQ(refusal.line, 0u);
    EXPECT_TRUE(list.empty());

    // DROPFILES blocks laid out by hand: offset of the names, the point, the flags, then the
    // names. Every header byte is nonzero, so a list read from inside the header is never empty.
    auto dropBlock = [](uint32_t offset, bool wide)
    {
        std::string block;
        for (uint32_t v : {offset, 0x41u, 0x42u, 0x43u, wide ? 0x01010101u : 0u})
            for (int i = 0; i < 4; ++i)
                block.push_back(static_cast<char>(v >> (8 * i)));
        for (char c : std::string("/x\0/y\0\0", 7))
        {
            block.push_back(c);
            if (wide)
                block.push_back('\0');
        }
        return block;
    };
    for (bool wide : {true, false})
    {
        std::string whole = dropBlock(20, wide);
        ASSERT_TRUE(Platform::ReadDropFilesBlock(whole.data(), whole.size(), list)) << wide;
        EXPECT_EQ(list.substr(0, 7), std::u16string(u"/x\0/y\0\0", 7));
        for (uint32_t inside : {4u, 12u, 19u})
        {
            std::string block = dropBlock(inside, wide);
            EXPECT_FALSE(Platform::ReadDropFilesBlock(block.data(), block.size(), list)) << inside << wide;
            EXPECT_TRUE(list.empty());
        }
        std::string past = dropBlock(static_cast<uint32_t>(whole.size()) + 1, wide);
        EXPECT_FALSE(Platform::ReadDropFilesBlock(past.data(), past.size(), list));
        EXPECT_FALSE(Platform::ReadDropFilesBlock(whole.data(), 19, list));
    }
}

TEST(ShellUriListTest, RawControlBytesRefuseTheirList)
{
    std::u16string list;
    // A raw NUL must not cut one name into an absolute and a relative one; every other raw
    // control byte spoils its line the same way (the line end's CR is no such byte), and the line
    // its list.
    for (char c : {'\0', '\x01', '\t', '\x1B', '\x7F', '\r'})
    {
        std::string text = "file:///tmp/x/good\r\nfile:///tmp/x/a.txt" + std::string(1, c) + "victim.txt\r\n" +
                           "file:///tmp/x/last";
        Platform::UriListRefusal refusal;
        EXPECT_FALSE(Platform::ParseUriList(text, list, &refusal)) << int(c);
        EXPECT_TRUE(list.empty()) << int(c);
        EXPECT_EQ(refusal.line, 2u) << int(c);
        EXPECT_EQ(refusal.text, "file:///tmp/x/a.txt" + std::string(1, c) + "victim.txt") << int(c);
    }
    // Control bytes escaped (other than NUL) are a name's own bytes, as the writer escapes them.
    ASSERT_TRUE(Platform::ParseUriList("file:///tmp/a%0Ab%09c", list));
    EXPECT_EQ(list, std::u16string(u"/tmp/a\nb\tc\0\0", 12));
}

TEST(ShellUriListTest, WhatTheWriterWritesTheReaderReadsBack)
{
    // Paths up to the longest a path may be (4,095 bytes), of any UTF-8: each non-ASCII byte
    // takes three characters escaped, so the lines grow far past the path's length.
    std::mt19937 random(44);
    const std::vector<std::string> pieces = {"\xE4\xB8\xAD\xE6\x96\x87", "\xD0\xB4", "a", " ", "%", "\n",
                                             "\xF0\x9F\x98\x80", "\xFF", "#", "?"};
    std::u16string names;
    std::vector<std::string> paths;
    for (size_t length : {1u, 100u, 1471u, 2000u, 4094u, 4095u, 4095u})
    {
        std::string path = "/";
        while (path.size() < length)
        {
            std::string piece = path.size() % 40 == 39 ? std::string("/") : pieces[random() % pieces.size()];
            path += piece.substr(0, length - path.size());
        }
        paths.push_back(path);
        names += W(path) + u'\0';
    }
    names += u'\0';
    std::string text = Platform::MakeUriList(names.c_str());
    EXPECT_GT(text.size(), 3 * 4096u); // the long lines really are long
    std::u16string list;
    ASSERT_TRUE(Platform::ParseUriList(text, list));
    EXPECT_EQ(list.size(), names.size());
    EXPECT_TRUE(list == names);
    // One byte past the limit refuses the list.
    std::string over = "file:///" + std::string(4096, 'b');
    Platform::UriListRefusal refusal;
    EXPECT_FALSE(Platform::ParseUriList(text + over + "\n", list, &refusal));
    EXPECT_EQ(refusal.line, paths.size() + 1);
    EXPECT_TRUE(list.empty());
}

// Read-only is whether this user may not write the entry: the owner's write permission binds its
// owner, the others' everyone outside its group, and root may write anything.
TEST(ShellNamespaceTest, ReadOnlyMeansNotWritableByThisUser)
{
    TempDir dir("shellro");
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    WriteFile(dir / "mine", "x");
    fs::permissions(dir / "mine", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    WriteFile(dir / "shared", "x");
    fs::permissions(dir / "shared", fs::perms::all);
    WriteFile(dir / "locked", "x"); // its group and the others may write it, its owner may not
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::group_read | fs::perms::group_write |
                                        fs::perms::others_read | fs::perms::others_write);
    auto readOnly = [](const std::string& path, const char* name)
    {
        LPITEMIDLIST list = Parse(path);
        IShellFolder* desktop = nullptr;
        SHGetDesktopFolder(&desktop);
        IShellFolder* folder = nullptr;
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
        IEnumIDList* e = nullptr;
        folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e);
        LPITEMIDLIST id;
        ULONG got;
        int result = -1;
        while (e->Next(1, &id, &got) == S_OK)
        {
            WIN32_FIND_DATAW find;
            SHGetDataFromIDListW(folder, id, SHGDFIL_FINDDATA, &find, sizeof find);
            if (W(name) == find.cFileName)
                result = (find.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 1 : 0;
            CoTaskMemFree(id);
        }
        e->Release();
        folder->Release();
        desktop->Release();
        CoTaskMemFree(list);
        return result;
    };
    const std::string path = dir.Path().string();
    const bool root = ::geteuid() == 0;
    // The owner, whoever runs the test.
    EXPECT_EQ(readOnly(path, "mine"), 0);
    EXPECT_EQ(readOnly(path, "shared"), 0);
    EXPECT_EQ(readOnly(path, "locked"), root ? 0 : 1);
    if (root)
    {
        // Another user, who is not root: the owner's permission is not theirs, the others' is.
        EXPECT_TRUE(InChildProcess(
            [&]
            {
                if (!BecomeUnprivileged())
                    return false;
                return readOnly(path, "mine") == 1 && readOnly(path, "shared") == 0 && readOnly(path, "locked") == 0;
            }));
        return;
    }
    // A user who is not root can give no file to another owner; two of the system's folders stand
    // in: root's "/usr", which only its owner may write, and root's "/tmp", which everyone may.
    auto anothers = [](const char* folder, bool othersWrite)
    {
        struct stat st;
        if (::stat(folder, &st) != 0 || st.st_uid == ::geteuid() || bool(st.st_mode & S_IWOTH) != othersWrite)
            return false;
        std::vector<gid_t> groups(::getgroups(0, nullptr) + 1);
        groups.resize(std::max(0, ::getgroups(int(groups.size()), groups.data())));
        groups.push_back(::getegid());
        return std::find(groups.begin(), groups.end(), st.st_gid) == groups.end();
    };
    if (!anothers("/usr", false) || !anothers("/tmp", true))
        GTEST_SKIP() << "\"/usr\" and \"/tmp\" are not another user's here, to check entries of other owners";
    EXPECT_EQ(readOnly("/", "usr"), 1);
    EXPECT_EQ(readOnly("/", "tmp"), 0);
}
