// Checksums of the terminal link: CRC-16/CCITT-FALSE guards a frame header,
// CRC-32 (IEEE 802.3, reflected) guards the whole frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::link {

std::uint16_t Crc16Ccitt(const std::uint8_t *data, std::size_t size);
std::uint32_t Crc32(const std::uint8_t *data, std::size_t size);

} // namespace tarnwick::link
