// Commands, answer statuses and payloads of the terminal link
// (docs/terminal-link.md). The library and the emulator share these, so a
// payload has exactly one encoder and one decoder.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tarnwick::link {

// Command codes, grouped by the high byte so each family of calls has room:
//   0x00xx link and addressing        0x01xx clock and identity
//   0x02xx card security              0x03xx privilege groups
//   0x04xx card-swipe settings        0x05xx records (paged)
//   0x06xx name lists (paged)         0x07xx upload address
//   0x08xx time-slot table            0x09xx water control
//   0x0Axx online trade and QR
enum Command : std::uint16_t {
    kCmdCall = 0x0001,         // address the terminal; empty payload both ways
    kCmdUncall = 0x0002,       // end the addressed session; empty payload both ways
    kCmdReadClock = 0x0101,    // -> ClockFields
    kCmdSetClock = 0x0102,     // ClockFields ->
    kCmdSetDeviceId = 0x0103,  // u32 new device number ->
    kCmdReadModel = 0x0104,    // -> ModelInfo
};

// Status of a response frame.
enum Status : std::uint16_t {
    kStatusOk = 0,
    kStatusUnknownCommand = 1,  // the terminal does not implement the command
    kStatusBadPayload = 2,      // the request payload has the wrong size or shape
    kStatusInvalidValue = 3,    // a value is out of the terminal's range
    kStatusBusy = 4,            // the terminal cannot do it now
    kStatusStorageFull = 5,     // no room left (records, name lists)
};

// Bulk data travels in pages of this many records, like the terminal's own buffers.
inline constexpr std::uint32_t kPageRecords = 16;

// Request of one page: index of the first record and how many (1..kPageRecords).
struct PageRequest {
    std::uint32_t first = 0;
    std::uint16_t count = 0;
};
// Head of a page answer, followed by `count` records of the command's record size.
struct PageHeader {
    std::uint32_t first = 0;
    std::uint16_t count = 0;
    std::uint8_t more = 0;  // nonzero when records follow this page
};

std::vector<std::uint8_t> EncodePageRequest(const PageRequest &req);
std::optional<PageRequest> DecodePageRequest(const std::vector<std::uint8_t> &payload);

// A terminal's clock as broken-down local time.
struct ClockFields {
    std::uint16_t year = 0;
    std::uint8_t month = 0;   // 1..12
    std::uint8_t day = 0;     // 1..days of the month
    std::uint8_t hour = 0;    // 0..23
    std::uint8_t minute = 0;  // 0..59
    std::uint8_t second = 0;  // 0..59
    std::uint16_t millisecond = 0;  // 0..999

    bool operator==(const ClockFields &) const = default;
};
inline constexpr std::size_t kClockFieldsSize = 9;

// True when every field is in range and the day exists in that month of a
// year between 1900 and 9999.
bool IsValidClock(const ClockFields &c);
std::vector<std::uint8_t> EncodeClock(const ClockFields &c);
// Nothing when the payload has the wrong size or a field is out of range.
std::optional<ClockFields> DecodeClock(const std::vector<std::uint8_t> &payload);

struct ModelInfo {
    std::int32_t model = 0;
    double firmware = 0;
    std::int32_t readerType = 0;
    std::uint8_t phonePay = 0;
    std::int32_t cardFormat = 0;

    bool operator==(const ModelInfo &) const = default;
};
inline constexpr std::size_t kModelInfoSize = 21;

std::vector<std::uint8_t> EncodeModelInfo(const ModelInfo &m);
std::optional<ModelInfo> DecodeModelInfo(const std::vector<std::uint8_t> &payload);

std::vector<std::uint8_t> EncodeU32(std::uint32_t v);
std::optional<std::uint32_t> DecodeU32(const std::vector<std::uint8_t> &payload);

const char *CommandName(std::uint16_t command);
const char *StatusName(std::uint16_t status);

} // namespace tarnwick::link
