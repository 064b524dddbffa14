// Fuzz target: an archive file of hostile bytes must open or be refused with an XException or the
// stream's narrow texts; an archive that opens must extract every entry and save to a copy that
// opens again and extracts alike.
#include "Components/XMemoryStream.h"
#include "PW/Common/PwPackage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
// The archive files live in memory (memfd) and are reached through /proc/self/fd, so nothing is
// ever left in a folder: a job that is killed takes its files with it.
class MemoryFile
{
public:
    explicit MemoryFile(const char* name)
    {
        m_Fd = memfd_create(name, MFD_CLOEXEC);
        if (m_Fd < 0)
            abort();
        std::string path = "/proc/self/fd/" + std::to_string(m_Fd);
        m_Path.assign(path.begin(), path.end()); // ASCII
    }
    ~MemoryFile() { ::close(m_Fd); }

    void Fill(const uint8_t* data, size_t size)
    {
        Clear();
        for (size_t done = 0; done < size;)
        {
            ssize_t n = ::pwrite(m_Fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                abort();
            done += static_cast<size_t>(n);
        }
    }

    void Clear()
    {
        if (::ftruncate(m_Fd, 0) != 0)
            abort();
    }

    const std::u16string& Path() const { return m_Path; }

private:
    int m_Fd;
    std::u16string m_Path;
};

// Extracts every entry to memory; returns how many failed with the archive's errors.
uint32_t ExtractAll(PwPackage& package)
{
    uint32_t failures = 0;
    for (uint32_t i = 0; i < package.Entries.GetCount(); ++i)
    {
        XMemoryStream extracted(0, 0);
        try
        {
            package.Extract(package.Entries[i], &extracted);
        }
        catch (const XException&)
        {
            ++failures;
        }
        catch (const char*)
        {
            ++failures;
        }
    }
    return failures;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    static MemoryFile inputFile("kelvane-fuzz-in.pck");
    static MemoryFile outputFile("kelvane-fuzz-out.pck");
    inputFile.Fill(data, size);
    outputFile.Clear();

    const std::u16string& input = inputFile.Path();
    const std::u16string& output = outputFile.Path();
    uint32_t failures = 0;
    try
    {
        PwPackage package;
        package.Open(input.c_str());
        failures = ExtractAll(package);
        package.Save(output.c_str(), 1, "fuzz");
    }
    catch (const XException&)
    {
        return 0;
    }
    catch (const char*)
    {
        return 0;
    }
    try
    {
        PwPackage reopened;
        reopened.Open(output.c_str());
        // Blocks are copied unchanged, so exactly the entries that failed before fail again.
        if (ExtractAll(reopened) != failures)
        {
            std::fprintf(stderr, "saved archive extracts differently\n");
            abort();
        }
    }
    catch (const XException& e)
    {
        std::fprintf(stderr, "saved archive failed: %s\n", e.Message().ToUtf8().c_str());
        abort(); // what was saved must open and extract
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "saved archive failed: %s\n", text);
        abort();
    }
    return 0;
}
