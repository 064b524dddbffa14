// A fresh folder of a test's own under the system's temporary folder. It goes with everything in
// it when the object goes, also what the test made read-only.
#pragma once

#include <filesystem>
#include <string>

class TempDir
{
public:
    // The folder is named after the prefix plus a unique suffix; throws std::runtime_error when it
    // cannot be made.
    explicit TempDir(const std::string& prefix = "kelvane");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_Path / name; }

private:
    std::filesystem::path m_Path;
};
