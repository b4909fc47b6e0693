// The names of a folder's entries, packed into blocks of text. A listing
// that must hold every name before it can sort them costs each name's bytes
// and six bytes more (its kind, a NUL and a four-byte locator), not a string
// object and an allocation each; the blocks are never moved or copied as the
// list grows, so no more than one block is ever spare.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace corvane::posix {

// What a listed name stands for, as far as a listing tells them apart.
enum class EntryKind : char { Other, Folder };

class NameList {
 public:
  // Adds a name (one without NUL, as every file name is, and shorter than a
  // block: at most 255 bytes on every file system) and the kind of entry it
  // names. A longer name is cut to the longest that fits.
  void Add(std::string_view name, EntryKind kind = EntryKind::Other) {
    name = name.substr(0, kBlockSize - 2);
    const std::size_t record = name.size() + 2;  // the kind, the name, a NUL
    if (blocks_.empty() || kBlockSize - used_ < record) {
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    at[0] = static_cast<char>(kind);
    std::copy(name.begin(), name.end(), at + 1);
    at[record - 1] = '\0';
    entries_.push_back(static_cast<std::uint32_t>((blocks_.size() - 1) << kOffsetBits | used_));
    used_ += record;
  }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // The name, followed in memory by a NUL.
  std::string_view name(std::size_t i) const { return Record(entries_[i]) + 1; }
  EntryKind kind(std::size_t i) const { return static_cast<EntryKind>(Record(entries_[i])[0]); }

  // Orders the names by less(a, b), a and b being string views.
  template <typename Less>
  void Sort(Less less) {
    std::sort(entries_.begin(), entries_.end(), [&](std::uint32_t a, std::uint32_t b) {
      return less(std::string_view(Record(a) + 1), std::string_view(Record(b) + 1));
    });
  }

 private:
  // A locator is the block's index, then the record's offset in it.
  static constexpr unsigned kOffsetBits = 14;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kOffsetBits;

  const char* Record(std::uint32_t locator) const {
    return blocks_[locator >> kOffsetBits].get() + (locator & (kBlockSize - 1));
  }

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;
  std::vector<std::uint32_t> entries_;
};

}  // namespace corvane::posix
