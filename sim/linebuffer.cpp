#include "linebuffer.h"

LineBuffer::LineBuffer(size_t maxLine) : m_maxLine(maxLine) {}

void LineBuffer::append(const char* data, size_t size)
{
    m_buffer.append(data, size);
}

std::optional<LineBuffer::Line> LineBuffer::takeLine()
{
    const size_t end = m_buffer.find('\n', m_scanned);
    if (end == std::string::npos) {
        m_scanned = m_buffer.size();
        if (m_buffer.size() > m_maxLine) {
            m_buffer.clear();
            m_scanned = 0;
            m_discarding = true;
        }
        return std::nullopt;
    }
    Line line{m_buffer.substr(0, end), false};
    m_buffer.erase(0, end + 1);
    m_scanned = 0;
    if (m_discarding || line.text.size() > m_maxLine) {
        m_discarding = false;
        return Line{std::string(), true};
    }
    return line;
}

std::optional<LineBuffer::Line> LineBuffer::takeRest()
{
    if (m_discarding) {
        m_discarding = false;
        m_buffer.clear();
        return Line{std::string(), true};
    }
    if (m_buffer.empty()) {
        return std::nullopt;
    }
    Line line{m_buffer, false};
    m_buffer.clear();
    m_scanned = 0;
    return line;
}
