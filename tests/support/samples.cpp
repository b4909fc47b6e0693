#include "support/samples.h"

#include "support/process.h"

namespace corvane::testing {

std::vector<std::string> SampleNames() {
  std::vector<std::string> names;
  for (const std::string& name : ListFolder(CORVANE_SAMPLES_DIR)) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lnk") == 0) names.push_back(name);
  }
  return names;
}

std::string SampleBytes(const std::string& name) {
  return ReadFileBytes(std::string(CORVANE_SAMPLES_DIR) + "/" + name);
}

std::string ExampleBytes(const std::string& name) {
  return ReadFileBytes(std::string(CORV_EXAMPLES_DIR) + "/" + name);
}

std::vector<std::uint8_t> AsBytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace corvane::testing
