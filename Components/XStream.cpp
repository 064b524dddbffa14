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
    if (count > source->GetSize() - source->GetPosition())
        throw "Stream reading error.";

    // Archives move gigabytes through here: large pieces keep the per-call overhead invisible.
    constexpr int64_t kPiece = int64_t(1) << 20;
    const unsigned bufferSize = static_cast<unsigned>(count < kPiece ? count : kPiece);
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    int64_t copied = 0;
    while (copied < count)
    {
        int64_t left = count - copied;
        unsigned piece = static_cast<unsigned>(left < bufferSize ? left : bufferSize);
        source->ReadBuffer(buffer.get(), piece);
        dest->WriteBuffer(buffer.get(), piece);
        copied += piece;
    }
    return copied;
}
