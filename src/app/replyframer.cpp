#include "app/replyframer.h"

namespace {

bool isGap(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

} // namespace

QList<QByteArray> ReplyFramer::feed(const QByteArray& bytes)
{
    m_buf.append(bytes);
    QList<QByteArray> out;
    for (;;) {
        const bool progressed = m_depth == 0 ? startObject(out) : scanObject(out);
        if (!progressed)
            break;
    }
    if (!m_discarding && m_buf.size() - m_start > kMaxPending) {
        out.append(m_buf.mid(m_start));
        m_discarding = true;
    }
    if (m_discarding)
        m_start = m_scan = m_buf.size();
    compact();
    return out;
}

QByteArray ReplyFramer::flush()
{
    const QByteArray rest = m_buf.mid(m_start);
    clear();
    return rest;
}

void ReplyFramer::clear()
{
    m_buf.clear();
    m_start = m_scan = m_depth = 0;
    m_quote = 0;
    m_discarding = false;
}

// Drops consumed bytes once, after a feed, so that many replies in one read stay linear.
void ReplyFramer::compact()
{
    if (m_start == 0)
        return;
    m_buf.remove(0, m_start);
    m_scan -= m_start;
    m_start = 0;
}

// Between replies: skips blanks, passes on non-object text, or opens an object.
bool ReplyFramer::startObject(QList<QByteArray>& out)
{
    int i = m_start;
    while (i < m_buf.size() && isGap(m_buf.at(i)))
        ++i;
    m_start = m_scan = i;
    if (i >= m_buf.size())
        return false;
    if (m_buf.at(i) != '{') {
        int end = m_buf.indexOf('{', i);
        if (end < 0)
            end = m_buf.size();
        out.append(m_buf.mid(i, end - i));
        m_start = m_scan = end;
        return true;
    }
    m_depth = 1;
    m_quote = 0;
    m_scan = i + 1;
    return true;
}

// Inside an object: counts braces outside strings until the top-level object closes. A string
// ends only at the quote that opened it, so "Can't" or 'say "hi"' hold the other kind as text.
bool ReplyFramer::scanObject(QList<QByteArray>& out)
{
    const char* data = m_buf.constData();
    const int size = m_buf.size();
    for (int i = m_scan; i < size; ++i) {
        const char c = data[i];
        if (m_quote) {
            if (c == m_quote)
                m_quote = 0;
        } else if (c == '"' || c == '\'') {
            m_quote = c;
        } else if (c == '{') {
            ++m_depth;
        } else if (c == '}' && --m_depth == 0) {
            if (!m_discarding)
                out.append(m_buf.mid(m_start, i + 1 - m_start));
            m_discarding = false;
            m_start = m_scan = i + 1;
            return true;
        }
    }
    m_scan = size;
    return false;
}
