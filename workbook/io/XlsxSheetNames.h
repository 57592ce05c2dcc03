#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// Sheet names as an xlsx file takes them: at most 31 characters. A longer
// name is cut to fit, and made unique with "~2", "~3" ... where cutting
// makes it meet another; formulas are rewritten to name the sheets so.
class XlsxSheetNames
{
public:
    static constexpr size_t mostCharacters = 31;

    explicit XlsxSheetNames(const std::vector<std::string> &names);

    const std::string &name(size_t sheet) const { return m_names[sheet]; }
    // Original name -> the name it is saved under, for every shortened name.
    const std::map<std::string, std::string> &shortened() const { return m_shortened; }
    // The formula (with or without "=") naming the sheets as saved.
    std::string formula(std::string_view text) const;

private:
    std::vector<std::string> m_names;
    std::map<std::string, std::string> m_shortened;
    std::map<std::string, std::string> m_byUpperName; // upper-case original -> saved
};

} // namespace workbook
