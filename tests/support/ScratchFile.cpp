#include "tests/support/ScratchFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

ScratchFile::ScratchFile(const std::string& beside)
{
    std::string pattern = beside + ".scratch-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error("cannot make a scratch file like " + pattern + ": " + std::strerror(errno));
    m_Path = pattern;
    m_Fd = fd;
}

ScratchFile::~ScratchFile()
{
    // Only the file made here goes: a file put at the path by someone else stays. The descriptor
    // kept open meanwhile keeps the file's inode from being reused for another file.
    struct stat own, now;
    if (::fstat(m_Fd, &own) == 0 && ::lstat(m_Path.c_str(), &now) == 0 && own.st_dev == now.st_dev &&
        own.st_ino == now.st_ino)
        ::unlink(m_Path.c_str());
    ::close(m_Fd);
}
