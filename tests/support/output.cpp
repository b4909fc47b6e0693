#include "support/output.h"

namespace corvane::testing {

std::string Visible(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (byte < 0x20 || byte >= 0x7f) {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xf];
    } else {
      text += c;
    }
  }
  return text;
}

::testing::AssertionResult Produced(const ProcessResult& result, std::string_view out,
                                    std::string_view err, int status) {
  if (result.out == out && result.err == err && result.exitStatus == status) {
    return ::testing::AssertionSuccess();
  }
  auto failure = ::testing::AssertionFailure();
  if (result.out != out) {
    failure << "\nstdout:   \"" << Visible(result.out) << "\"\nexpected: \"" << Visible(out)
            << "\"";
  }
  if (result.err != err) {
    failure << "\nstderr:   \"" << Visible(result.err) << "\"\nexpected: \"" << Visible(err)
            << "\"";
  }
  if (result.exitStatus != status) {
    failure << "\nexit status " << result.exitStatus << ", expected " << status;
  }
  return failure;
}

}  // namespace corvane::testing
