// The names of a folder's entries in one block of text. A listing that must
// hold every name before it can sort them costs the names' bytes and a few
// more per entry, not a string object and an allocation each.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::posix {

class NameList {
 public:
  // Adds a name (one without NUL, as every file name is) and a mark that
  // stays with it.
  void Add(std::string_view name, bool mark = false) {
    entries_.push_back({static_cast<std::uint32_t>(text_.size()), mark});
    text_.append(name);
    text_.push_back('\0');
  }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view name(std::size_t i) const { return text_.c_str() + entries_[i].start; }
  bool mark(std::size_t i) const { return entries_[i].mark; }

  // Orders the names by less(a, b), a and b being string views.
  template <typename Less>
  void Sort(Less less) {
    const char* text = text_.c_str();
    std::sort(entries_.begin(), entries_.end(), [&](const Entry& a, const Entry& b) {
      return less(std::string_view(text + a.start), std::string_view(text + b.start));
    });
    text_.shrink_to_fit();
    entries_.shrink_to_fit();
  }

 private:
  struct Entry {
    std::uint32_t start;
    bool mark;
  };
  std::string text_;
  std::vector<Entry> entries_;
};

}  // namespace corvane::posix
