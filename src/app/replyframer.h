#pragma once

#include <QByteArray>
#include <QList>

// Cuts the backend's output stream into replies: each complete top-level object is one reply,
// however the bytes were split across reads. Text outside an object is passed on as it comes so
// that it still reaches the dispatcher (as a failure).
class ReplyFramer
{
public:
    // An object this large that has not closed is handed on rather than held for ever; the rest
    // of it is dropped up to its end, so that it makes one reply and not one per read.
    static constexpr int kMaxPending = 16 * 1024 * 1024;

    QList<QByteArray> feed(const QByteArray& bytes);
    // Hands on whatever is buffered (an object that never completed), and starts afresh.
    QByteArray flush();
    bool hasPending() const { return m_start < m_buf.size(); }
    // True while the tail of an oversized object is being dropped.
    bool isDiscarding() const { return m_discarding; }
    void clear();

private:
    void compact();
    bool startObject(QList<QByteArray>& out);
    bool scanObject(QList<QByteArray>& out);

    QByteArray m_buf;
    int m_start = 0;  // first byte of the reply being collected
    int m_scan = 0;   // next byte to look at
    int m_depth = 0;  // 0: between replies
    char m_quote = 0; // the quote that opened the string being read, 0 outside one
    bool m_discarding = false;
};
