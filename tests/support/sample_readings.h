// What a third-party reader (LnkParse3) found in each sample shortcut, from
// the JSON file beside it: the tests' expected answers about the samples,
// taken from outside the code under test. Where Windows' rules give another
// answer than the reading, sample_readings.cpp writes that answer out, with
// the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {

struct SampleReading {
  // The LinkInfo's local base path and common path suffix; without a
  // LinkInfo, the item list's drive and file entry names; nothing when
  // neither names a path.
  std::optional<std::wstring> target;
  int iconIndex = 0;
  int showCommand = 0;  // the SW_ value
  std::uint16_t hotKey = 0;
  // Every serialized property of the property store blocks.
  struct Property {
    std::string formatId;  // as "9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3"
    std::uint32_t id = 0;
    std::string type;                  // as "VT_LPWSTR"
    std::optional<std::wstring> text;  // the value, where the reading gives it as text
  };
  std::vector<Property> properties;
};

// The reading of a sample, by the sample's file name ("sample3.lnk").
SampleReading ReadingOf(const std::string& sample);

// Whether the link object refuses a sample that the reading reads.
bool RefusedAsCorrupt(const std::string& sample);

// The target GetPath gives for a sample by Windows' rules: the reading's,
// but for the samples where the two part ways.
std::optional<std::wstring> TargetByWindowsRules(const std::string& sample);

}  // namespace corvane::testing
