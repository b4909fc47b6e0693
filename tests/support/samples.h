// The shortcut files tests read: the samples from the field in
// tests/data/lnk/ and the example shortcuts in examples/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::testing {

// The file names of the sample shortcuts (each ending in ".lnk"), sorted.
std::vector<std::string> SampleNames();

// The bytes of a sample shortcut, by its file name.
std::string SampleBytes(const std::string& name);

// The bytes of a file in the examples folder, by its path there.
std::string ExampleBytes(const std::string& name);

// Bytes read as text, as the byte vector the codec parses.
std::vector<std::uint8_t> AsBytes(const std::string& text);

}  // namespace corvane::testing
