#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One reply in the notation the GUI parses: {"SW":"9000","INFO":"...","DATA":[{"K":"V"}]}.
// The GUI's parser has no escapes and ends a quoted text at either quote character, so every
// text is cleaned of quotes and control characters when the reply is written.
class Reply
{
public:
    using Row = std::vector<std::pair<std::string, std::string>>;

    explicit Reply(uint32_t sw, std::string info = {});
    static Reply ok(std::string info = {});

    Reply& addRow(Row row);

    const std::string& info() const { return m_info; }

    // The status as the "SW" text: upper-case hexadecimal, at least four digits.
    std::string statusText() const;
    // The reply as one line of text, without the line end.
    std::string text() const;

private:
    uint32_t m_sw;
    std::string m_info;
    std::vector<Row> m_rows;
};
