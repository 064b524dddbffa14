// COM identities: random GUIDs from the kernel's random source.
#include "Platform/Win32/Windows.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

HRESULT CoCreateGuid(GUID* guid)
{
    if (!guid)
        return E_INVALIDARG;
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes)
    {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return E_FAIL;
        }
        got += static_cast<size_t>(n);
    }
    // Version 4 in the high nibble of Data3, the RFC variant (10xx) in the top bits of Data4[0].
    std::memcpy(guid, bytes, sizeof bytes);
    guid->Data3 = static_cast<WORD>((guid->Data3 & 0x0FFF) | 0x4000);
    guid->Data4[0] = static_cast<BYTE>((guid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}
