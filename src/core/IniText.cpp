#include "IniText.h"

#include <algorithm>
#include <unordered_map>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string LowerCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = Lower(c);
    return out;
}

IniSection* FindSection(std::vector<IniSection>& sections, std::string_view name)
{
    for (IniSection& s : sections)
        if (SameName(s.name, name))
            return &s;
    return nullptr;
}

IniSection& SectionFor(std::vector<IniSection>& sections, std::string_view name)
{
    if (IniSection* s = FindSection(sections, name))
        return *s;
    // Values before the first section stay first.
    if (name.empty()) {
        sections.insert(sections.begin(), IniSection{});
        return sections.front();
    }
    sections.push_back(IniSection{std::string(name), {}});
    return sections.back();
}

} // namespace

const std::string* IniDocument::Find(std::string_view section, std::string_view name) const
{
    for (const IniSection& s : sections) {
        if (!SameName(s.name, section))
            continue;
        for (const IniEntry& e : s.entries)
            if (SameName(e.name, name))
                return &e.value;
    }
    return nullptr;
}

void IniDocument::Set(std::string_view section, std::string_view name, std::string value)
{
    IniSection& s = SectionFor(sections, section);
    for (IniEntry& e : s.entries) {
        if (SameName(e.name, name)) {
            e.value = std::move(value);
            return;
        }
    }
    s.entries.push_back(IniEntry{std::string(name), std::move(value)});
}

IniDocument ParseIni(std::string_view text)
{
    IniDocument doc;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    // Where each section and each value already is, by lower-case name, so
    // that a file of many values is read in time proportional to its size.
    std::unordered_map<std::string, std::size_t> section_at;
    std::vector<std::unordered_map<std::string, std::size_t>> entry_at;
    std::size_t current = 0;
    bool have_current = false;
    auto section_index = [&](std::string_view name) {
        const auto [it, added] = section_at.try_emplace(LowerCase(name), doc.sections.size());
        if (added) {
            doc.sections.push_back(IniSection{std::string(name), {}});
            entry_at.emplace_back();
        }
        return it->second;
    };
    while (!text.empty()) {
        // CR LF, LF and a lone CR (old editors) all end a line; the empty
        // line between CR and LF is skipped below.
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            const std::string_view name =
                close == std::string_view::npos ? std::string_view() : Trim(line.substr(1, close - 1));
            if (name.empty() || name.find('[') != std::string_view::npos) {
                ++doc.damaged_lines;
                continue;
            }
            current = section_index(name);
            have_current = true;
            continue;
        }
        const std::size_t eq = line.find('=');
        const std::string_view name = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
        if (name.empty() || name.find_first_of("[]") != std::string_view::npos) {
            ++doc.damaged_lines;
            continue;
        }
        // Values before the first section go into the unnamed section,
        // which a section header can never name.
        if (!have_current) {
            current = section_index(std::string_view());
            have_current = true;
        }
        std::vector<IniEntry>& entries = doc.sections[current].entries;
        std::string value(Trim(line.substr(eq + 1)));
        const auto [it, added] = entry_at[current].try_emplace(LowerCase(name), entries.size());
        if (added)
            entries.push_back(IniEntry{std::string(name), std::move(value)});
        else
            entries[it->second].value = std::move(value);
    }
    return doc;
}

std::string FormatIni(const IniDocument& document)
{
    std::string out;
    for (const IniSection& s : document.sections) {
        if (s.name.empty() && s.entries.empty())
            continue;
        if (!out.empty())
            out += '\n';
        if (!s.name.empty())
            out += "[" + s.name + "]\n";
        for (const IniEntry& e : s.entries)
            out += e.name + "=" + e.value + "\n";
    }
    return out;
}

bool IniValueIsPlainText(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '@' && value.find('(') != std::string_view::npos && value.back() == ')')
        return false;
    bool quoted = false;
    for (const char c : value) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            return false;
    }
    return true;
}

std::string IniUnquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}
