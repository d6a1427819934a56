#pragma once
// The text of an INI settings file: named sections of name=value lines.
//
// Reading is lenient, so that a file edited by hand still gives every value
// it holds: a UTF-8 byte-order mark is skipped, CR LF, LF and a lone CR (old
// editors) all end lines, blanks around names and values are dropped,
// comments (";" or "#") and blank lines are skipped, and a line that is none
// of these (no "=", stray bytes) is counted as damaged and otherwise
// ignored. A section named twice is one section; a value named twice takes
// the last line's text. Names match without regard to ASCII case, as
// registry names do. Reading takes time in proportion to the text's length.
//
// Writing gives the whole document in a plain form: values before the first
// section, then each section as "[name]" with its "name=value" lines, a blank
// line between sections, LF line ends.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct IniEntry {
    std::string name;
    std::string value; // as written in the file, blanks around it removed
};

struct IniSection {
    std::string name; // empty: the values before the first section
    std::vector<IniEntry> entries;
};

struct IniDocument {
    std::vector<IniSection> sections;
    std::size_t damaged_lines = 0;

    // The value's text as written, or nullptr when absent.
    const std::string* Find(std::string_view section, std::string_view name) const;
    // Sets the value, keeping the spelling of a name already there.
    void Set(std::string_view section, std::string_view name, std::string value);
};

IniDocument ParseIni(std::string_view text);
std::string FormatIni(const IniDocument& document);

// Whether a value's text is plain text. A comma outside quotes makes a list
// and "@Name(...)" a typed value (the forms other INI writers use for them);
// neither is a setting the program wrote.
bool IniValueIsPlainText(std::string_view value);
// The text of a plain value without its enclosing double quotes, if any.
std::string IniUnquote(std::string_view value);
