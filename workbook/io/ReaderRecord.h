#pragma once

#include "ImportedData.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace workbook {

// The reader's answer travels in frames, so that the receiving side parses
// it as it arrives and never holds the bytes and the data whole at once:
//   'W' the workbook without its cells, with the cell count of every sheet
//   'C' a slice of one sheet's cells
//   'K' the end                'E' why the file cannot be read
// Each frame is its kind, its length (8 bytes) and that many bytes.

using SendBytes = std::function<bool(const char *bytes, std::size_t size)>;

// Sends `data` (taken apart on the way) as frames; false when `send` fails.
bool sendRecord(ImportedData &&data, const SendBytes &send);
bool sendFailure(const std::string &reason, const SendBytes &send);

class RecordDecoder
{
public:
    enum class State { Receiving, Complete, Refused, Broken };

    // Nothing received may take more than `memoryCeiling` to hold.
    explicit RecordDecoder(std::uint64_t memoryCeiling) : m_ceiling(memoryCeiling) {}

    // Takes the next bytes; false once the record is refused or broken.
    bool feed(const char *bytes, std::size_t size);

    State state() const { return m_state; }
    // Why, when Refused (the reader's words, or the ceiling) or Broken.
    const std::string &failure() const { return m_failure; }
    std::uint64_t cellsReceived() const { return m_cellsReceived; }
    std::uint64_t cellsTotal() const { return m_cellsTotal; }
    // The data, once Complete.
    ImportedData take() { return std::move(m_data); }

private:
    bool frameDone();
    bool workbookFrame();
    bool cellsFrame();
    bool stop(State state, std::string failure);

    std::uint64_t m_ceiling;
    State m_state = State::Receiving;
    std::string m_failure;
    std::string m_header;  // the kind and length of the frame under way
    std::string m_payload; // its bytes so far
    std::uint64_t m_payloadLength = 0;
    bool m_haveWorkbook = false;
    std::vector<std::uint64_t> m_expected; // cells per sheet
    std::uint64_t m_cellsReceived = 0;
    std::uint64_t m_cellsTotal = 0;
    ImportedData m_data;
};

} // namespace workbook
