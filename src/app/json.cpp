#include "app/json.h"

#include <cstdio>
#include <cstring>

namespace {

// Replies nest two levels deep at most; the cap only protects the stack from hostile input.
constexpr int kMaxDepth = 64;

bool isSpace(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x01 && byte <= 0x20;
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

void skipSpace(const char*& p)
{
    while (isSpace(*p))
        ++p;
}

// Moves the cursor to the next quote of either kind; false at the end of the text.
bool scanToQuote(const char*& p)
{
    const char* quote = std::strpbrk(p, "\"'");
    p = quote ? quote : p + std::strlen(p);
    return quote != nullptr;
}

bool startsWithLiteral(const char* p, const char* rest)
{
    return std::strncmp(p + 1, rest, std::strlen(rest)) == 0;
}

bool equals(const char* p, int len, const char* word)
{
    return int(std::strlen(word)) == len && std::memcmp(p, word, size_t(len)) == 0;
}

// A piece of the reply text; copied only when blanks have to be dropped from it.
struct Slice
{
    const char* data = "";
    int size = 0;
    QByteArray joined;

    void set(const char* from, const char* to)
    {
        data = from;
        size = int(to - from);
    }
};

class Parser
{
public:
    explicit Parser(TextMap& map) : m_map(map) {}

    void parseObject(const char*& cur, int depth, JSON_OBJ& r);

private:
    void parseElement(const char*& cur, int depth, JSON_OBJ& r);
    void closeMap(JSON_OBJ& r);
    enum class Value { Ok, Malformed };

    Value readValue(const char*& cur, Slice& value, JSON_OBJ& r, int depth);
    Value readArray(const char*& cur, JSON_OBJ& r, int depth);
    static void readUnquoted(const char*& cur, Slice& value);
    void store(const Slice& key, const Slice& value, JSON_OBJ& r);

    TextMap& m_map;
};

void Parser::parseObject(const char*& cur, int depth, JSON_OBJ& r)
{
    if (*cur != '{')
        return;
    if (depth > kMaxDepth) {
        // Give up on the whole text so that no caller can stall on an unmoved cursor.
        cur += std::strlen(cur);
        m_map.clear();
        return;
    }
    for (;;) {
        if (*cur == '\0')
            break;
        ++cur;
        skipSpace(cur);

        Slice key;
        if (isQuote(*cur)) {
            ++cur;
            skipSpace(cur);
            const char* start = cur;
            if (!scanToQuote(cur))
                break;
            key.set(start, cur);
        }

        if (*cur == '\0')
            break;
        ++cur;
        skipSpace(cur);
        if (*cur != ':')
            break;
        ++cur;
        skipSpace(cur);

        Slice value;
        if (readValue(cur, value, r, depth) == Value::Malformed)
            break;
        store(key, value, r);

        if (*cur == '}') {
            closeMap(r);
            return;
        }
    }
    m_map.clear();
}

void Parser::closeMap(JSON_OBJ& r)
{
    if (m_map.isEmpty())
        return;
    const int textSize = m_map.textSize();
    const int entries = m_map.size();
    r.DATA.append(m_map);
    m_map.clear();
    // The next map of a reply is usually shaped like this one.
    m_map.reserve(textSize, entries);
}

// A nested object or array element: only its first map joins the record; its own status and
// message are dropped. It writes straight into the record's list to spare a list per element.
void Parser::parseElement(const char*& cur, int depth, JSON_OBJ& r)
{
    JSON_OBJ element;
    element.DATA.swap(r.DATA);
    const int before = element.DATA.size();
    parseObject(cur, depth + 1, element);
    if (element.DATA.size() > before + 1)
        element.DATA.resize(before + 1);
    r.DATA.swap(element.DATA);
}

Parser::Value Parser::readValue(const char*& cur, Slice& value, JSON_OBJ& r, int depth)
{
    const char c = *cur;
    if (isQuote(c)) {
        const char* start = ++cur;
        if (!scanToQuote(cur))
            return Value::Malformed;
        value.set(start, cur);
        ++cur;
        skipSpace(cur);
        return Value::Ok;
    }
    if (c == 'F' || c == 'f' || c == 'T' || c == 't' || c == 'N' || c == 'n') {
        const char lower = char(c | 0x20);
        const char* rest = lower == 'f' ? "alse" : lower == 't' ? "rue" : "one";
        if (!startsWithLiteral(cur, rest))
            return Value::Malformed;
        const char* text = lower == 'f' ? "FALSE" : lower == 't' ? "TRUE" : "";
        value.set(text, text + std::strlen(text));
        cur += 1 + std::strlen(rest);
        return Value::Ok;
    }
    if (c == '[')
        return readArray(cur, r, depth);
    if (c == '{') {
        parseElement(cur, depth, r);
        return Value::Ok;
    }
    readUnquoted(cur, value);
    return Value::Ok;
}

Parser::Value Parser::readArray(const char*& cur, JSON_OBJ& r, int depth)
{
    m_map.clear();
    ++cur;
    for (;;) {
        const char c = *cur;
        if (c == '\0')
            return Value::Malformed;
        if (c == ']') {
            ++cur;
            return Value::Ok;
        }
        if (c == '{') {
            parseElement(cur, depth, r);
        } else {
            // Separators, blanks and elements that are not objects: nothing to append, and
            // stepping over them keeps the scan moving.
            ++cur;
        }
    }
}

// Blanks are dropped, and the byte after a run of blanks is taken whatever it is.
void Parser::readUnquoted(const char*& cur, Slice& value)
{
    const char* start = cur;
    while (*cur && *cur != ',' && *cur != '}') {
        if (!isSpace(*cur)) {
            ++cur;
            continue;
        }
        value.joined.append(start, int(cur - start));
        skipSpace(cur);
        start = cur;
        if (*cur)
            ++cur;
    }
    if (value.joined.isEmpty()) {
        value.set(start, cur);
        return;
    }
    value.joined.append(start, int(cur - start));
    value.set(value.joined.constData(), value.joined.constData() + value.joined.size());
}

void Parser::store(const Slice& key, const Slice& value, JSON_OBJ& r)
{
    if (equals(key.data, key.size, "SW")) {
        const QByteArray text(value.data, value.size);
        unsigned int sw = 0;
        if (std::sscanf(text.constData(), "%x", &sw) == 1)
            r.SW = sw;
    } else if (equals(key.data, key.size, "INFO")) {
        r.INFO = QByteArray(value.data, value.size);
    } else if (key.size > 0 && !equals(key.data, key.size, "DATA")) {
        m_map.insertIfAbsent(key.data, key.size, value.data, value.size);
    }
}

} // namespace

JSON_OBJ JSON::Parse(const char*& cursor)
{
    JSON_OBJ r;
    Parser(m_map).parseObject(cursor, 0, r);
    return r;
}

QByteArray JSON::GetValue(const QByteArray& key) const
{
    return m_map.value(key);
}
