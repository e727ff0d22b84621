#include "reply.h"

#include "protocol.h"

#include <cstdio>

namespace {

// The text as it may appear between quotes on the wire.
std::string cleaned(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        if (c == '"' || c == '\'') {
            c = '`';
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

std::string quoted(const std::string& text)
{
    return "\"" + cleaned(text) + "\"";
}

std::string rowText(const Reply::Row& row)
{
    std::string out = "{";
    for (const auto& [key, value] : row) {
        if (out.size() > 1) {
            out += ",";
        }
        out += quoted(key) + ":" + quoted(value);
    }
    return out + "}";
}

} // namespace

Reply::Reply(uint32_t sw, std::string info) : m_sw(sw), m_info(std::move(info)) {}

Reply Reply::ok(std::string info)
{
    return Reply(Status::Success, std::move(info));
}

Reply& Reply::addRow(Row row)
{
    // An empty object would read as malformed to the GUI's parser.
    if (!row.empty()) {
        m_rows.push_back(std::move(row));
    }
    return *this;
}

std::string Reply::statusText() const
{
    char sw[16];
    std::snprintf(sw, sizeof sw, "%04X", static_cast<unsigned>(m_sw));
    return sw;
}

std::string Reply::text() const
{
    std::string out = "{\"SW\":\"" + statusText() + "\"";
    if (!m_info.empty()) {
        out += ",\"INFO\":" + quoted(m_info);
    }
    if (!m_rows.empty()) {
        out += ",\"DATA\":[";
        for (size_t i = 0; i < m_rows.size(); ++i) {
            out += (i ? "," : "") + rowText(m_rows[i]);
        }
        out += "]";
    }
    return out + "}";
}
