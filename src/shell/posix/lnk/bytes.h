// Bounds-checked little-endian reads and writes over a byte buffer, for the
// binary formats the stand-in parses. A read that would pass the end of the
// buffer fails instead; nothing here reads past what it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "shell/posix/sdk/com.h"

namespace corvane::posix {

using Bytes = std::span<const std::uint8_t>;

// A stretch of a buffer.
struct Extent {
  std::size_t offset = 0;
  std::size_t size = 0;
};

// Whether [offset, offset + size) lies inside a buffer of the given length.
inline bool Fits(std::size_t length, std::size_t offset, std::size_t size) {
  return offset <= length && size <= length - offset;
}

inline bool ReadU16(Bytes bytes, std::size_t offset, std::uint16_t& value) {
  if (!Fits(bytes.size(), offset, 2)) return false;
  value = static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
  return true;
}

inline bool ReadU32(Bytes bytes, std::size_t offset, std::uint32_t& value) {
  if (!Fits(bytes.size(), offset, 4)) return false;
  value = static_cast<std::uint32_t>(bytes[offset]) |
          static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
          static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
          static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
  return true;
}

inline bool ReadGuid(Bytes bytes, std::size_t offset, GUID& value) {
  if (!Fits(bytes.size(), offset, 16)) return false;
  std::uint16_t data2 = 0, data3 = 0;
  ReadU32(bytes, offset, value.Data1);
  ReadU16(bytes, offset + 4, data2);
  ReadU16(bytes, offset + 6, data3);
  value.Data2 = data2;
  value.Data3 = data3;
  std::memcpy(value.Data4, bytes.data() + offset + 8, 8);
  return true;
}

inline void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void AppendGuid(std::vector<std::uint8_t>& out, const GUID& value) {
  AppendU32(out, value.Data1);
  AppendU16(out, value.Data2);
  AppendU16(out, value.Data3);
  out.insert(out.end(), value.Data4, value.Data4 + 8);
}

inline void WriteU32(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// UTF-16 little-endian text of `units` code units at offset, as a wide
// string (surrogate pairs joined; a lone surrogate kept as it is). False if
// the units do not fit.
bool ReadUtf16(Bytes bytes, std::size_t offset, std::size_t units, std::wstring& text);

// ReadUtf16, appending the text to what `text` holds.
bool AppendUtf16Text(Bytes bytes, std::size_t offset, std::size_t units, std::wstring& text);

// Appends the UTF-16 little-endian bytes of the text; gives the number of
// units appended.
std::size_t AppendUtf16(std::vector<std::uint8_t>& out, std::wstring_view text);

}  // namespace corvane::posix
