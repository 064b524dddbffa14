// Fuzz target: an archive file of hostile bytes must open or be refused with an XException or the
// stream's narrow texts; an archive that opens must extract every entry and save to a copy that
// opens again and extracts alike.
#include "Components/XMemoryStream.h"
#include "PW/Common/PwPackage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{
std::u16string Widen(const std::string& s)
{
    return std::u16string(s.begin(), s.end()); // the paths are ASCII
}

const std::string& InputPath()
{
    static const std::string path = "/tmp/kelvane-fuzz-" + std::to_string(getpid()) + "-in.pck";
    return path;
}

const std::string& OutputPath()
{
    static const std::string path = "/tmp/kelvane-fuzz-" + std::to_string(getpid()) + "-out.pck";
    return path;
}

struct Cleanup
{
    ~Cleanup()
    {
        std::remove(InputPath().c_str());
        std::remove(OutputPath().c_str());
    }
} cleanup;

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
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file)
        abort();
    if (size && std::fwrite(data, 1, size, file) != size)
        abort();
    std::fclose(file);
    std::remove(OutputPath().c_str());

    const std::u16string input = Widen(InputPath());
    const std::u16string output = Widen(OutputPath());
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
