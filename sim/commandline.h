#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// One backend command line split into words: "app op [arguments] [-x value ...]".
// Blanks separate words (the GUI sends leading and doubled blanks); a double-quoted part,
// such as a file path, keeps its blanks. An option is an unquoted word starting with a dash;
// the word after it is its value, whatever it looks like (a password may start with a dash).
class CommandLine
{
public:
    struct Word
    {
        std::string text;
        bool quoted = false;
    };

    // Empty with *error set when the line cannot be split (NUL byte, unclosed quote).
    static std::optional<CommandLine> parse(const std::string& line, std::string* error);

    const std::string& raw() const { return m_raw; }
    const std::vector<Word>& words() const { return m_words; }

    // First and second word, or empty.
    std::string app() const;
    std::string op() const;

    // Value of the first occurrence of an option; an option ending the line has an empty value.
    std::optional<std::string> option(const std::string& flag) const;
    // The same, empty when the option is missing.
    std::string value(const std::string& flag) const;
    // Words after app and op that are neither options nor option values, in order.
    const std::vector<Word>& arguments() const { return m_arguments; }

private:
    void classify();

    std::string m_raw;
    std::vector<Word> m_words;
    std::vector<std::pair<std::string, std::string>> m_options;
    std::vector<Word> m_arguments;
};
