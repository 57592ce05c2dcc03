#pragma once

#include <orcus/sax_parser.hpp>

#include <vector>

namespace workbook {

// Parses an XML part read from a zip with orcus's SAX parser. On a part that
// ends in the middle of a tag the parser looks one byte past the end, so the
// bytes get a NUL there: it reads that and throws malformed_xml_error.
template <typename Handler>
void parseXmlPart(std::vector<unsigned char> &bytes, Handler &handler)
{
    bytes.push_back('\0');
    orcus::sax_parser<Handler> parser(reinterpret_cast<const char *>(bytes.data()), bytes.size() - 1, handler);
    parser.parse();
}

} // namespace workbook
