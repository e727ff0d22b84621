#pragma once

#include "app/textmap.h"

#include <QByteArray>
#include <QVector>

// One parsed backend reply. Values are never typed: everything is text.
struct JSON_OBJ
{
    quint32 SW = 0;
    QByteArray INFO;
    QVector<TextMap> DATA;
};

// The backend's lenient reply notation. Knows "SW", "INFO" and "DATA"; every other member is
// flattened into maps of text to text. Never reads past the terminating NUL.
class JSON
{
public:
    JSON_OBJ Parse(const char*& cursor);
    QByteArray GetValue(const QByteArray& key) const;

private:
    TextMap m_map;
};
