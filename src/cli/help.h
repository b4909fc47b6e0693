#pragma once

namespace corvane {

// The usage text, with its own final line feed.
extern const wchar_t kHelpText[];

}  // namespace corvane
