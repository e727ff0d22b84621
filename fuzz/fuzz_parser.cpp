#include "app/json.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Reads every byte of every field so the sanitizers see any bad read.
unsigned touch(const QByteArray& bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    return sum;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data), int(size)); // NUL-terminated copy
    const char* begin = text.constData();
    const char* end = begin + qstrlen(begin);

    JSON parser;
    const char* cursor = begin;
    const JSON_OBJ first = parser.Parse(cursor);
    check(cursor >= begin && cursor <= end);
    check(parser.GetValue("SW").isEmpty());

    unsigned sum = touch(first.INFO);
    for (const auto& map : first.DATA) {
        check(!map.isEmpty());
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            sum += touch(it.key()) + touch(it.value());
    }

    // The working map is empty after every parse, so the same text parses the same way again.
    cursor = begin;
    const JSON_OBJ second = parser.Parse(cursor);
    check(second.SW == first.SW && second.INFO == first.INFO && second.DATA == first.DATA);
    return int(sum & 0);
}
