#include "Components/XStream.h"

#include <memory>

void XStream::ReadBuffer(void* buffer, unsigned count)
{
    if (Read(buffer, count) != count)
        throw "Stream reading error.";
}

void XStream::WriteBuffer(const void* buffer, unsigned count)
{
    if (Write(buffer, count) != count)
        throw "Stream writing error.";
}

int64_t CopyStream(XStream* dest, XStream* source, int64_t count)
{
    if (count <= 0)
        return 0;
    const int64_t remaining = source->GetSize() - source->GetPosition();
    if (count > remaining)
        count = remaining > 0 ? remaining : 0;
    if (count == 0)
        return 0;

    // Archives move gigabytes through here: large pieces keep the per-call overhead invisible.
    constexpr int64_t kPiece = int64_t(1) << 20;
    const unsigned bufferSize = static_cast<unsigned>(count < kPiece ? count : kPiece);
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    int64_t copied = 0;
    while (copied < count)
    {
        int64_t left = count - copied;
        unsigned piece = static_cast<unsigned>(left < bufferSize ? left : bufferSize);
        unsigned got = source->Read(buffer.get(), piece);
        if (got == 0)
            break;
        // A destination that takes less than it was given must not pass for a complete copy.
        dest->WriteBuffer(buffer.get(), got);
        copied += got;
    }
    return copied;
}
