#include "app/textmap.h"

#include <cstring>

namespace {

int compareBytes(const char* a, int aLen, const char* b, int bLen)
{
    const int common = qMin(aLen, bLen);
    const int c = common ? std::memcmp(a, b, size_t(common)) : 0;
    return c != 0 ? c : aLen - bLen;
}

} // namespace

TextMap::TextMap(std::initializer_list<std::pair<QByteArray, QByteArray>> pairs)
{
    for (const auto& pair : pairs)
        insert(pair.first, pair.second);
}

int TextMap::lowerBound(const char* key, int keyLen, bool& found) const
{
    int low = 0;
    int high = m_entries.size();
    const char* text = m_text.constData();
    while (low < high) {
        const int mid = (low + high) / 2;
        const Entry& e = m_entries.at(mid);
        if (compareBytes(text + e.keyAt, e.keyLen, key, keyLen) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    found = low < m_entries.size() &&
            compareBytes(text + m_entries.at(low).keyAt, m_entries.at(low).keyLen, key, keyLen) == 0;
    return low;
}

bool TextMap::contains(const QByteArray& key) const
{
    bool found = false;
    lowerBound(key.constData(), key.size(), found);
    return found;
}

QByteArray TextMap::value(const QByteArray& key, const QByteArray& defaultValue) const
{
    bool found = false;
    const int at = lowerBound(key.constData(), key.size(), found);
    return found ? valueAt(at) : defaultValue;
}

QList<QByteArray> TextMap::keys() const
{
    QList<QByteArray> out;
    for (int i = 0; i < size(); ++i)
        out.append(keyAt(i));
    return out;
}

QByteArray TextMap::keyAt(int index) const
{
    const Entry& e = m_entries.at(index);
    return m_text.mid(e.keyAt, e.keyLen);
}

QByteArray TextMap::valueAt(int index) const
{
    const Entry& e = m_entries.at(index);
    return m_text.mid(e.valueAt, e.valueLen);
}

void TextMap::insert(const QByteArray& key, const QByteArray& value)
{
    remove(key);
    insertIfAbsent(key.constData(), key.size(), value.constData(), value.size());
}

bool TextMap::insertIfAbsent(const char* key, int keyLen, const char* value, int valueLen)
{
    bool found = false;
    const int at = lowerBound(key, keyLen, found);
    if (found)
        return false;
    const Entry e{m_text.size(), keyLen, m_text.size() + keyLen, valueLen};
    m_text.append(key, keyLen);
    m_text.append(value, valueLen);
    m_entries.insert(at, e);
    return true;
}

void TextMap::remove(const QByteArray& key)
{
    bool found = false;
    const int at = lowerBound(key.constData(), key.size(), found);
    if (found)
        m_entries.remove(at);
}

void TextMap::clear()
{
    m_text.clear();
    m_entries.clear();
}

void TextMap::reserve(int textSize, int entries)
{
    m_text.reserve(textSize);
    m_entries.reserve(entries);
}

TextMap::const_iterator TextMap::find(const QByteArray& key) const
{
    bool found = false;
    const int at = lowerBound(key.constData(), key.size(), found);
    return found ? const_iterator(this, at) : end();
}

bool TextMap::operator==(const TextMap& other) const
{
    if (size() != other.size())
        return false;
    // Compared in place: equal records in a long reply must not cost copies.
    const char* text = m_text.constData();
    const char* otherText = other.m_text.constData();
    for (int i = 0; i < size(); ++i) {
        const Entry& a = m_entries.at(i);
        const Entry& b = other.m_entries.at(i);
        if (compareBytes(text + a.keyAt, a.keyLen, otherText + b.keyAt, b.keyLen) != 0 ||
            compareBytes(text + a.valueAt, a.valueLen, otherText + b.valueAt, b.valueLen) != 0)
            return false;
    }
    return true;
}
