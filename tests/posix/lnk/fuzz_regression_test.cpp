// Inputs the fuzzers in fuzz/ found faults with, each over its exact bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "shell/posix/lnk/property_store_block.h"
#include "shell/posix/objects/typed_value.h"
#include "shell/property_store.h"

namespace {

using corvane::posix::Bytes;
using corvane::posix::DecodeTypedValue;
using corvane::posix::ReadTypedValue;
using corvane::posix::Refusal;
using corvane::posix::TypedValue;

const HRESULT kCorrupt = HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);

// A value shorter than its 4-byte header (type and padding): the type alone
// said VT_FILETIME, and 8 bytes were copied from past the value's end.
TEST(FuzzRegression, TypedValueShorterThanItsHeaderIsCorrupt) {
  for (const std::vector<std::uint8_t>& bytes :
       std::vector<std::vector<std::uint8_t>>{{0x40, 0x00}, {0x40, 0x00, 0x00}, {0x1F, 0x00}}) {
    TypedValue decoded;
    EXPECT_EQ(DecodeTypedValue(Bytes(bytes), decoded), Refusal::TypedValueTruncated);
    PROPVARIANT value;
    EXPECT_EQ(ReadTypedValue(Bytes(bytes), value), kCorrupt);
    EXPECT_EQ(value.vt, VT_EMPTY);
  }
}

}  // namespace
