#include "ReaderRecord.h"

#include "ReaderChecks.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace workbook {

namespace {

constexpr std::size_t headerSize = 1 + sizeof(std::uint64_t);
// A slice of cells: small enough that the receiving side's frame buffer
// stays a sliver of the workbook, large enough that frames cost nothing.
constexpr std::size_t sliceCells = 1 << 16;
constexpr std::size_t sliceTextBytes = std::size_t(8) << 20;

void appendNumber(std::string &out, std::uint64_t v) { out.append(reinterpret_cast<const char *>(&v), sizeof v); }

bool takeNumber(const std::string &in, std::size_t &at, std::uint64_t &v)
{
    if (in.size() - at < sizeof v)
        return false;
    std::memcpy(&v, in.data() + at, sizeof v);
    at += sizeof v;
    return true;
}

bool sendFrame(char kind, const std::string &payload, const SendBytes &send)
{
    std::string header(1, kind);
    appendNumber(header, payload.size());
    return send(header.data(), header.size()) && (payload.empty() || send(payload.data(), payload.size()));
}

} // namespace

bool sendRecord(ImportedData &&data, const SendBytes &send)
{
    std::vector<std::vector<ImportedCell>> cells;
    std::string payload;
    appendNumber(payload, data.sheets.size());
    for (ImportedSheet &sheet : data.sheets) {
        appendNumber(payload, sheet.cells.size());
        cells.push_back(std::move(sheet.cells));
        sheet.cells.clear();
    }
    payload += serialize(data);
    if (!sendFrame('W', payload, send))
        return false;
    for (std::size_t index = 0; index < cells.size(); ++index) {
        std::vector<ImportedCell> &sheetCells = cells[index];
        for (std::size_t from = 0; from < sheetCells.size();) {
            ImportedData slice;
            slice.sheets.emplace_back();
            std::vector<ImportedCell> &part = slice.sheets.back().cells;
            std::size_t textBytes = 0;
            while (from < sheetCells.size() && part.size() < sliceCells && textBytes < sliceTextBytes) {
                textBytes += sheetCells[from].text.size() + sheetCells[from].cached.size();
                part.push_back(std::move(sheetCells[from++]));
            }
            payload.clear();
            appendNumber(payload, index);
            payload += serialize(slice);
            if (!sendFrame('C', payload, send))
                return false;
        }
        std::vector<ImportedCell>().swap(sheetCells);
    }
    return sendFrame('K', std::string(), send);
}

bool sendFailure(const std::string &reason, const SendBytes &send)
{
    return sendFrame('E', reason, send);
}

bool RecordDecoder::stop(State state, std::string failure)
{
    m_state = state;
    m_failure = std::move(failure);
    m_payload = std::string();
    m_data = ImportedData();
    return false;
}

bool RecordDecoder::feed(const char *bytes, std::size_t size)
{
    while (m_state == State::Receiving && size > 0) {
        if (m_header.size() < headerSize) {
            const std::size_t n = std::min(size, headerSize - m_header.size());
            m_header.append(bytes, n);
            bytes += n;
            size -= n;
            if (m_header.size() < headerSize)
                break;
            std::memcpy(&m_payloadLength, m_header.data() + 1, sizeof m_payloadLength);
            if (m_payloadLength > m_ceiling)
                return stop(State::Refused, needsMoreThan(m_ceiling));
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_payloadLength - m_payload.size()));
        m_payload.append(bytes, n);
        bytes += n;
        size -= n;
        if (m_payload.size() == m_payloadLength && !frameDone())
            return false;
    }
    if (m_state == State::Complete && size > 0)
        return stop(State::Broken, "the reader's answer went on past its end");
    return m_state == State::Receiving || m_state == State::Complete;
}

bool RecordDecoder::frameDone()
{
    const char kind = m_header[0];
    if (kind == 'E')
        return stop(State::Refused, m_payload);
    bool ok = false;
    if (kind == 'W' && !m_haveWorkbook)
        ok = workbookFrame();
    else if (kind == 'C' && m_haveWorkbook)
        ok = cellsFrame();
    else
        ok = kind == 'K' && m_haveWorkbook && m_payload.empty() && m_cellsReceived == m_cellsTotal;
    if (m_state != State::Receiving) // refused on the way
        return false;
    if (!ok)
        return stop(State::Broken, "the reader's answer is not a workbook record");
    m_header.clear();
    std::string().swap(m_payload);
    if (kind == 'K')
        m_state = State::Complete;
    return true;
}

bool RecordDecoder::workbookFrame()
{
    std::size_t at = 0;
    std::uint64_t sheets = 0;
    if (!takeNumber(m_payload, at, sheets) || sheets > (m_payload.size() - at) / sizeof(std::uint64_t))
        return false;
    m_expected.resize(static_cast<std::size_t>(sheets));
    for (std::uint64_t &count : m_expected) {
        takeNumber(m_payload, at, count);
        if (count > m_ceiling / sizeof(ImportedCell) - m_cellsTotal)
            return stop(State::Refused, needsMoreThan(m_ceiling));
        m_cellsTotal += count;
    }
    m_payload.erase(0, at);
    if (!deserialize(m_payload, m_data) || m_data.sheets.size() != m_expected.size())
        return false;
    for (std::size_t i = 0; i < m_expected.size(); ++i) {
        if (!m_data.sheets[i].cells.empty())
            return false;
        m_data.sheets[i].cells.reserve(static_cast<std::size_t>(m_expected[i]));
    }
    m_haveWorkbook = true;
    return true;
}

bool RecordDecoder::cellsFrame()
{
    std::size_t at = 0;
    std::uint64_t index = 0;
    if (!takeNumber(m_payload, at, index) || index >= m_expected.size())
        return false;
    m_payload.erase(0, at);
    ImportedData slice;
    if (!deserialize(m_payload, slice) || slice.sheets.size() != 1)
        return false;
    std::vector<ImportedCell> &cells = m_data.sheets[static_cast<std::size_t>(index)].cells;
    std::vector<ImportedCell> &arrived = slice.sheets.front().cells;
    if (arrived.size() > m_expected[static_cast<std::size_t>(index)] - cells.size())
        return false;
    cells.insert(cells.end(), std::make_move_iterator(arrived.begin()), std::make_move_iterator(arrived.end()));
    m_cellsReceived += arrived.size();
    return true;
}

} // namespace workbook
