#pragma once

#include <QByteArray>
#include <QList>
#include <QVector>

#include <initializer_list>
#include <utility>

// A map from byte-string keys to byte-string values, keys unique and sorted byte-wise, as the
// reply parser produces them. All text lives in one buffer, so a reply with thousands of maps
// costs a few allocations per map instead of several per member. Copies are cheap (shared).
class TextMap
{
    struct Entry
    {
        int keyAt;
        int keyLen;
        int valueAt;
        int valueLen;
    };

public:
    class const_iterator
    {
    public:
        const_iterator(const TextMap* map, int index) : m_map(map), m_index(index) {}
        QByteArray key() const { return m_map->keyAt(m_index); }
        QByteArray value() const { return m_map->valueAt(m_index); }
        QByteArray operator*() const { return value(); }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }
        bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }

    private:
        const TextMap* m_map;
        int m_index;
    };
    using iterator = const_iterator;

    TextMap() = default;
    TextMap(std::initializer_list<std::pair<QByteArray, QByteArray>> pairs);

    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return m_entries.size(); }
    int count() const { return size(); }
    bool contains(const QByteArray& key) const;
    QByteArray value(const QByteArray& key, const QByteArray& defaultValue = QByteArray()) const;
    QList<QByteArray> keys() const;
    QByteArray keyAt(int index) const;
    QByteArray valueAt(int index) const;

    // Replaces the value of an existing key, as QMap::insert does.
    void insert(const QByteArray& key, const QByteArray& value);
    // Keeps the value already stored under the key; false when the key was there.
    bool insertIfAbsent(const char* key, int keyLen, const char* value, int valueLen);
    void remove(const QByteArray& key);
    void clear();
    void reserve(int textSize, int entries);
    int textSize() const { return m_text.size(); }

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    const_iterator find(const QByteArray& key) const;
    const_iterator constFind(const QByteArray& key) const { return find(key); }

    bool operator==(const TextMap& other) const;
    bool operator!=(const TextMap& other) const { return !(*this == other); }

private:
    // Index of the first entry whose key is not less than `key`, and whether it is equal.
    int lowerBound(const char* key, int keyLen, bool& found) const;

    QByteArray m_text;
    QVector<Entry> m_entries;
};

Q_DECLARE_TYPEINFO(TextMap, Q_MOVABLE_TYPE);
