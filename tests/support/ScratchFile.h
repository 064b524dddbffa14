// A file of the process's own beside another path, for tools that need room next to their output.
// It is created under a name that no file has yet (exclusive create), so that a tool never takes
// over, empties or deletes a file it did not make, and it is removed when the object goes, unless
// something else has been put at its path meanwhile.
#pragma once

#include <string>

class ScratchFile
{
public:
    // Created empty as `beside` + ".scratch-" + a unique suffix, in the same folder (so on the same
    // file system). Throws std::runtime_error when it cannot be made.
    explicit ScratchFile(const std::string& beside);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    int m_Fd = -1; // kept open, so that the file can be told from one made later at its path
};
