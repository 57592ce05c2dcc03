#include "XlsxSheetNames.h"

#include "../Reference.h"

#include <cctype>
#include <set>

namespace workbook {

namespace {

bool startsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

size_t characterCount(std::string_view text)
{
    size_t count = 0;
    for (char c : text)
        count += startsCharacter(c);
    return count;
}

// The first `characters` characters of UTF-8 text, without spaces or an
// apostrophe at the end (a sheet name cannot end in one).
std::string firstCharacters(std::string_view text, size_t characters)
{
    size_t count = 0, end = text.size();
    for (size_t i = 0; i < text.size(); ++i) {
        if (startsCharacter(text[i]) && count++ == characters) {
            end = i;
            break;
        }
    }
    while (end > 1 && (text[end - 1] == ' ' || text[end - 1] == '\''))
        --end;
    return std::string(text.substr(0, end));
}

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

// Characters of a sheet name written without quotes (bytes of UTF-8 letters included).
bool isBareNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

} // namespace

XlsxSheetNames::XlsxSheetNames(const std::vector<std::string> &names)
    : m_names(names)
{
    std::set<std::string> taken;
    for (const std::string &name : names)
        if (characterCount(name) <= mostCharacters)
            taken.insert(upper(name));
    for (std::string &name : m_names) {
        if (characterCount(name) <= mostCharacters)
            continue;
        std::string candidate = firstCharacters(name, mostCharacters);
        for (int n = 2; taken.count(upper(candidate)); ++n) {
            const std::string suffix = "~" + std::to_string(n);
            candidate = firstCharacters(name, mostCharacters - suffix.size()) + suffix;
        }
        taken.insert(upper(candidate));
        m_shortened[name] = candidate;
        m_byUpperName[upper(name)] = candidate;
        name = candidate;
    }
}

std::string XlsxSheetNames::formula(std::string_view text) const
{
    if (m_shortened.empty())
        return std::string(text);
    std::string out;
    size_t i = 0;
    const auto renamed = [this](const std::string &sheet) -> const std::string * {
        const auto found = m_byUpperName.find(upper(sheet));
        return found == m_byUpperName.end() ? nullptr : &found->second;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            // A text literal, "" inside it a quote.
            size_t end = i + 1;
            while (end < text.size() && !(text[end] == '"' && (end + 1 >= text.size() || text[end + 1] != '"')))
                end += text[end] == '"' ? 2 : 1;
            out.append(text.substr(i, end + 1 - i));
            i = end + 1;
        } else if (c == '\'') {
            std::string sheet;
            size_t end = i + 1;
            while (end < text.size() && !(text[end] == '\'' && (end + 1 >= text.size() || text[end + 1] != '\''))) {
                sheet += text[end];
                end += text[end] == '\'' ? 2 : 1;
            }
            const std::string *name = end + 1 < text.size() && text[end + 1] == '!' ? renamed(sheet) : nullptr;
            out += name ? quotedSheetName(*name) : std::string(text.substr(i, end + 1 - i));
            i = end + 1;
        } else if (isBareNameChar(c) && (i == 0 || !isBareNameChar(text[i - 1]))) {
            size_t end = i;
            while (end < text.size() && isBareNameChar(text[end]))
                ++end;
            const std::string word(text.substr(i, end - i));
            const std::string *name = end < text.size() && text[end] == '!' ? renamed(word) : nullptr;
            out += name ? quotedSheetName(*name) : word;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace workbook
