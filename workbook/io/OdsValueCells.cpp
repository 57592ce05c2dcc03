#include "OdsValueCells.h"

#include "../Reference.h"

#include <orcus/sax_parser.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace workbook {

namespace {

// Repeats beyond this are formatting runs, not data worth copying.
constexpr long maxRepeat = 1024;

long repeatOf(const std::map<std::string, std::string> &attributes, const char *name)
{
    const auto found = attributes.find(name);
    if (found == attributes.end())
        return 1;
    const long n = std::strtol(found->second.c_str(), nullptr, 10);
    return std::max(1L, n);
}

class ContentHandler : public orcus::sax_handler
{
public:
    explicit ContentHandler(ImportedData &data)
        : m_data(data)
    {
    }

    void attribute(const orcus::sax::parser_attribute &attribute)
    {
        m_attributes[std::string(attribute.ns) + ":" + std::string(attribute.name)] = std::string(attribute.value);
    }

    void start_element(const orcus::sax::parser_element &element)
    {
        const std::string name = std::string(element.ns) + ":" + std::string(element.name);
        if (name == "table:table") {
            ++m_sheet;
            m_row = 0;
        } else if (name == "table:table-row") {
            m_rowRepeat = repeatOf(m_attributes, "table:number-rows-repeated");
            m_column = 0;
        } else if (name == "table:table-cell" || name == "table:covered-table-cell") {
            const long repeat = repeatOf(m_attributes, "table:number-columns-repeated");
            cell(repeat);
            m_column += repeat;
        }
        m_attributes.clear();
    }

    void end_element(const orcus::sax::parser_element &element)
    {
        if (element.ns == "table" && element.name == "table-row")
            m_row += m_rowRepeat;
    }

private:
    void cell(long repeat)
    {
        const auto type = m_attributes.find("office:value-type");
        if (type == m_attributes.end() || m_attributes.count("table:formula") || m_sheet < 0
            || static_cast<size_t>(m_sheet) >= m_data.sheets.size())
            return;
        ImportedCell cell;
        if (type->second == "boolean") {
            const auto value = m_attributes.find("office:boolean-value");
            cell.kind = ImportedCell::Kind::Boolean;
            cell.number = value != m_attributes.end() && value->second == "true" ? 1 : 0;
        } else if (type->second == "percentage" || type->second == "currency") {
            const auto value = m_attributes.find("office:value");
            if (value == m_attributes.end())
                return;
            char *end = nullptr;
            cell.number = std::strtod(value->second.c_str(), &end);
            if (end == value->second.c_str())
                return;
            cell.kind = ImportedCell::Kind::Number;
        } else {
            return; // orcus passed it
        }
        for (long r = 0; r < std::min(m_rowRepeat, maxRepeat); ++r) {
            for (long c = 0; c < std::min(repeat, maxRepeat); ++c) {
                if (m_row + r >= maxRows || m_column + c >= maxColumns)
                    continue;
                cell.row = static_cast<std::int32_t>(m_row + r);
                cell.column = static_cast<std::int32_t>(m_column + c);
                m_data.sheets[m_sheet].cells.push_back(cell);
            }
        }
    }

    ImportedData &m_data;
    std::map<std::string, std::string> m_attributes;
    long m_sheet = -1;
    long m_row = 0;
    long m_rowRepeat = 1;
    long m_column = 0;
};

} // namespace

void addOpenDocumentValueCells(const std::string &path, ImportedData &data)
{
    orcus::zip_archive_stream_fd stream(path.c_str());
    orcus::zip_archive archive(&stream);
    archive.load();
    std::vector<unsigned char> content;
    if (!archive.read_file_entry("content.xml", content))
        return;
    ContentHandler handler(data);
    orcus::sax_parser<ContentHandler> parser(reinterpret_cast<const char *>(content.data()), content.size(), handler);
    parser.parse();
}

} // namespace workbook
