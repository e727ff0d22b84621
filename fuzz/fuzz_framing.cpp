#include "app/replyframer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// Blanks between replies are dropped wherever the stream was cut; compare without them.
QByteArray withoutGaps(const QByteArray& bytes)
{
    QByteArray out;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) > 0x20)
            out.append(c);
    return out;
}

} // namespace

// The first byte picks the piece size; the framed replies must not depend on how the stream
// was cut, and no byte may be lost or invented.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 20)
        return 0;
    const int piece = 1 + data[0] % 64;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));

    ReplyFramer whole;
    QList<QByteArray> expected = whole.feed(stream);
    const QByteArray expectedRest = whole.flush();

    ReplyFramer pieces;
    QList<QByteArray> got;
    for (int i = 0; i < stream.size(); i += piece)
        got += pieces.feed(stream.mid(i, piece));
    const QByteArray gotRest = pieces.flush();

    // Non-object text may arrive split differently; compare the concatenation for it.
    check(withoutGaps(expected.join() + expectedRest) == withoutGaps(got.join() + gotRest));
    for (const QByteArray& reply : expected)
        if (reply.startsWith('{') && reply.endsWith('}'))
            check(got.contains(reply));
    for (const QByteArray& reply : got)
        check(!reply.isEmpty() && reply.size() <= stream.size());
    return 0;
}
