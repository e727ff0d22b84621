#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Collects bytes from a stream and hands out complete lines. A line longer than the limit is
// dropped up to its end and reported once as too long, so a peer that never sends a line
// end cannot make the buffer grow without bound.
class LineBuffer
{
public:
    struct Line
    {
        std::string text;
        bool tooLong = false;
    };

    explicit LineBuffer(size_t maxLine = 1 << 20);

    void append(const char* data, size_t size);
    std::optional<Line> takeLine();
    // What is left without a line end (at end of input).
    std::optional<Line> takeRest();

private:
    size_t m_maxLine;
    std::string m_buffer;
    size_t m_scanned = 0;
    bool m_discarding = false;
};
