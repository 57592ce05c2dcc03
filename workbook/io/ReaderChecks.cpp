#include "ReaderChecks.h"

#include "XmlPart.h"
#include "ZipDirectory.h"

#include <orcus/sax_parser.hpp>
#include <orcus/sax_parser_base.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>

namespace workbook {

namespace {

std::string kindOf(FileFormat format)
{
    return format == FileFormat::Xlsx ? "xlsx" : format == FileFormat::Ods ? "ods" : "CSV file";
}

std::string damaged(FileFormat format, const std::string &why)
{
    return format == FileFormat::Csv ? "the CSV file cannot be read: " + why : "the " + kindOf(format) + " is damaged: " + why;
}

bool isCompoundDocument(const std::string &path)
{
    static const unsigned char signature[8] = {0xd0, 0xcf, 0x11, 0xe0, 0xa1, 0xb1, 0x1a, 0xe1};
    char head[8] = {};
    std::ifstream file(path, std::ios::binary);
    return file.read(head, sizeof head) && std::memcmp(head, signature, sizeof head) == 0;
}

bool isXmlPart(const std::string &name)
{
    const auto endsWith = [&name](const char *end) {
        const std::size_t n = std::strlen(end);
        return name.size() >= n && name.compare(name.size() - n, n, end) == 0;
    };
    return endsWith(".xml") || endsWith(".rels");
}

struct Relationship
{
    std::string type;
    std::string target;
    bool external = false;
    bool isOfType(const char *kind) const
    {
        const std::size_t n = std::strlen(kind);
        return type.size() > n && type[type.size() - n - 1] == '/' && type.compare(type.size() - n, n, kind) == 0;
    }
};

class RelationshipsHandler : public orcus::sax_handler
{
public:
    std::vector<Relationship> found;

    void attribute(const orcus::sax::parser_attribute &attribute)
    {
        m_attributes[std::string(attribute.name)] = std::string(attribute.value);
    }
    void start_element(const orcus::sax::parser_element &element)
    {
        if (element.name == "Relationship")
            found.push_back({m_attributes["Type"], m_attributes["Target"], m_attributes["TargetMode"] == "External"});
        m_attributes.clear();
    }

private:
    std::map<std::string, std::string> m_attributes;
};

std::string folderOf(const std::string &part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The part a relationship's target names, from the folder of the part it belongs to.
std::string resolve(const std::string &folder, const std::string &target)
{
    std::vector<std::string> segments;
    const std::string whole = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
    std::size_t start = 0;
    while (start <= whole.size()) {
        const std::size_t slash = std::min(whole.find('/', start), whole.size());
        const std::string segment = whole.substr(start, slash - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = slash + 1;
    }
    std::string part;
    for (const std::string &segment : segments)
        part += (part.empty() ? "" : "/") + segment;
    return part;
}

std::string relationshipsOf(const std::string &part)
{
    return folderOf(part) + "_rels/" + part.substr(folderOf(part).size()) + ".rels";
}

class XlsxStructure
{
public:
    XlsxStructure(const std::string &path, const ZipDirectory &directory)
        : m_stream(path.c_str()), m_archive(&m_stream), m_directory(directory)
    {
        m_archive.load();
    }

    // The first part the workbook needs and the file lacks, or "".
    std::string missingPart()
    {
        std::vector<Relationship> package;
        if (!read("_rels/.rels", package))
            return "_rels/.rels is missing";
        std::string workbookPart;
        for (const Relationship &r : package)
            if (r.isOfType("officeDocument") && !r.external)
                workbookPart = resolve("", r.target);
        if (workbookPart.empty())
            return "_rels/.rels names no workbook part";
        if (!m_directory.find(workbookPart))
            return workbookPart + " is missing";
        std::vector<Relationship> parts;
        if (!read(relationshipsOf(workbookPart), parts))
            return relationshipsOf(workbookPart) + " is missing";
        for (const Relationship &r : parts) {
            if (r.external || !(r.isOfType("worksheet") || r.isOfType("sharedStrings")))
                continue;
            const std::string part = resolve(folderOf(workbookPart), r.target);
            if (!m_directory.find(part))
                return part + " is missing";
        }
        return std::string();
    }

private:
    bool read(const std::string &part, std::vector<Relationship> &relationships)
    {
        std::vector<unsigned char> content;
        if (!m_directory.find(part) || !m_archive.read_file_entry(part, content))
            return false;
        RelationshipsHandler handler;
        parseXmlPart(content, handler);
        relationships = std::move(handler.found);
        return true;
    }

    orcus::zip_archive_stream_fd m_stream;
    orcus::zip_archive m_archive;
    const ZipDirectory &m_directory;
};

// Drops a leading "class_name_error: " the parser puts before its words.
std::string plainWords(const char *what)
{
    std::string text = what ? what : "";
    const std::size_t colon = text.find(": ");
    if (colon != std::string::npos && colon >= 5 && text.compare(colon - 5, 5, "error") == 0
        && text.find(' ') > colon)
        text.erase(0, colon + 2);
    return text;
}

} // namespace

std::string needsMoreThan(std::uint64_t bytes)
{
    static const std::pair<const char *, double> units[] = {{"GB", 1 << 30}, {"MB", 1 << 20}, {"kB", 1 << 10}};
    const auto &[unit, size] = *std::find_if(std::begin(units), std::end(units) - 1,
                                             [bytes](const auto &u) { return static_cast<double>(bytes) >= u.second; });
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.3g %s", static_cast<double>(bytes) / size, unit);
    return std::string("the file would need more than ") + amount;
}

namespace {

// Whether an XML part ends with its root element's closing tag (or the root
// closes itself).
bool closesItsRoot(const std::vector<unsigned char> &part)
{
    const std::string_view text(reinterpret_cast<const char *>(part.data()), part.size());
    // The root: the first tag that is no declaration, instruction or comment.
    std::size_t open = text.find('<');
    while (open != std::string_view::npos && open + 1 < text.size() && (text[open + 1] == '?' || text[open + 1] == '!'))
        open = text.find('<', open + 1);
    if (open == std::string_view::npos)
        return false;
    const std::size_t nameEnd = text.find_first_of(" \t\r\n/>", open + 1);
    if (nameEnd == std::string_view::npos)
        return false;
    const std::string_view root = text.substr(open + 1, nameEnd - open - 1);
    const std::size_t tagEnd = text.find('>', nameEnd);
    if (tagEnd != std::string_view::npos && text[tagEnd - 1] == '/')
        return true;
    // Blanks after it, and the NUL the archive reader may end a part with, are no content.
    const std::size_t last = text.find_last_not_of(std::string_view(" \t\r\n\0", 5));
    const std::string closing = "</" + std::string(root) + ">";
    return last != std::string_view::npos && last + 1 >= closing.size()
        && text.substr(last + 1 - closing.size(), closing.size()) == closing;
}

// The OpenDocument part that stops before its root element closes, or "".
// orcus's threaded reader of these parts runs off the end of such a part (a
// cut-off or damaged file), so it never gets to see one.
std::string cutOffPart(const std::string &path)
{
    try {
        orcus::zip_archive_stream_fd stream(path.c_str());
        orcus::zip_archive archive(&stream);
        archive.load();
        for (const char *name : {"content.xml", "styles.xml"}) {
            std::vector<unsigned char> part;
            if (archive.read_file_entry(name, part) && !closesItsRoot(part))
                return name;
        }
    } catch (const std::exception &) {
        // A damaged archive is named by the reading itself.
    }
    return {};
}

} // namespace

std::string whyUnreadable(const std::string &path, FileFormat format, std::uint64_t memoryCeiling)
{
    if (format == FileFormat::Csv) {
        struct stat info{};
        return ::stat(path.c_str(), &info) == 0 && static_cast<std::uint64_t>(info.st_size) > memoryCeiling
            ? needsMoreThan(memoryCeiling)
            : std::string();
    }
    if (isCompoundDocument(path))
        return "not an " + kindOf(format) + " file: it is an older binary office file (.xls) or a password-protected workbook";
    ZipDirectory directory;
    switch (directory.read(path)) {
    case ZipDirectory::Outcome::NotZip:
        return "not an " + kindOf(format) + " file: " + directory.problem();
    case ZipDirectory::Outcome::Damaged:
        return damaged(format, directory.problem());
    case ZipDirectory::Outcome::Read:
        break;
    }
    std::uint64_t unpacked = 0;
    for (const ZipEntry &entry : directory.entries())
        if (isXmlPart(entry.name))
            unpacked += entry.size;
    if (unpacked > memoryCeiling)
        return needsMoreThan(memoryCeiling);
    if (format == FileFormat::Ods) {
        if (!directory.find("content.xml"))
            return damaged(format, "content.xml is missing");
        const std::string cut = cutOffPart(path);
        return cut.empty() ? cut : damaged(format, cut + " ends before its last element closes");
    }
    const std::string missing = XlsxStructure(path, directory).missingPart();
    return missing.empty() ? missing : damaged(format, missing);
}

std::string reasonOfCurrentException(FileFormat format, std::uint64_t memoryCeiling)
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return needsMoreThan(memoryCeiling);
    } catch (const std::length_error &) {
        return needsMoreThan(memoryCeiling);
    } catch (const orcus::sax::malformed_xml_error &e) {
        return damaged(format, "it holds malformed XML: " + plainWords(e.what()));
    } catch (const std::exception &e) {
        const std::string words = plainWords(e.what());
        return damaged(format, words.empty() ? "the reader cannot say how" : words);
    } catch (...) {
        return damaged(format, "the reader cannot say how");
    }
}

} // namespace workbook
