#include "commandline.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isOption(const CommandLine::Word& word)
{
    return !word.quoted && word.text.size() >= 2 && word.text[0] == '-';
}

} // namespace

std::optional<CommandLine> CommandLine::parse(const std::string& line, std::string* error)
{
    if (line.find('\0') != std::string::npos) {
        *error = "the line holds a NUL byte";
        return std::nullopt;
    }
    CommandLine result;
    result.m_raw = line;
    Word word;
    bool inWord = false;
    bool inQuotes = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            word.quoted = true;
            inWord = true;
        } else if (isBlank(c) && !inQuotes) {
            if (inWord) {
                result.m_words.push_back(word);
            }
            word = Word();
            inWord = false;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inQuotes) {
        *error = "a double quote is not closed";
        return std::nullopt;
    }
    if (inWord) {
        result.m_words.push_back(word);
    }
    result.classify();
    return result;
}

void CommandLine::classify()
{
    for (size_t i = 2; i < m_words.size(); ++i) {
        if (!isOption(m_words[i])) {
            m_arguments.push_back(m_words[i]);
            continue;
        }
        const bool hasValue = i + 1 < m_words.size();
        m_options.emplace_back(m_words[i].text, hasValue ? m_words[i + 1].text : std::string());
        if (hasValue) {
            ++i;
        }
    }
}

std::string CommandLine::app() const
{
    return m_words.empty() ? std::string() : m_words[0].text;
}

std::string CommandLine::op() const
{
    return m_words.size() < 2 ? std::string() : m_words[1].text;
}

std::optional<std::string> CommandLine::option(const std::string& flag) const
{
    for (const auto& [name, value] : m_options) {
        if (name == flag) {
            return value;
        }
    }
    return std::nullopt;
}

std::string CommandLine::value(const std::string& flag) const
{
    return option(flag).value_or(std::string());
}
