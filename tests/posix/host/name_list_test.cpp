// The name store behind folder listings: every name and its kind come back
// as they were added, in the order asked for, however many there are.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/posix/host/name_list.h"

namespace {

using corvane::posix::EntryKind;
using corvane::posix::NameList;

// A name of the given length made of a letter that changes with n.
std::string NameOf(std::size_t n, std::size_t length) {
  std::string name = std::to_string(n) + "-";
  name.resize(std::max(length, name.size()), static_cast<char>('a' + n % 26));
  return name;
}

TEST(PosixNameList, EmptyListHasNoNames) {
  NameList names;
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(names.size(), 0u);
  names.Sort([](std::string_view a, std::string_view b) { return a < b; });
  EXPECT_TRUE(names.empty());
}

TEST(PosixNameList, KeepsEveryNameAndMarkAcrossManyBlocks) {
  // Enough names, of every length a file name can have, to fill many blocks.
  NameList names;
  std::vector<std::string> added;
  for (std::size_t n = 0; n < 3000; ++n) {
    added.push_back(NameOf(n, 1 + n % 255));
    names.Add(added.back(), n % 3 == 0 ? EntryKind::Folder : EntryKind::Other);
  }
  ASSERT_EQ(names.size(), added.size());
  EXPECT_FALSE(names.empty());
  for (std::size_t n = 0; n < added.size(); ++n) {
    EXPECT_EQ(names.name(n), added[n]) << n;
    EXPECT_EQ(names.kind(n) == EntryKind::Folder, n % 3 == 0) << n;
    // Each name is followed by a NUL, so it can go to a system call as it is.
    EXPECT_EQ(names.name(n).data()[names.name(n).size()], '\0') << n;
  }
}

TEST(PosixNameList, LongestFileNamesFitExactly) {
  NameList names;
  for (int n = 0; n < 200; ++n)
    names.Add(std::string(255, static_cast<char>('A' + n % 26)),
              n % 2 == 1 ? EntryKind::Folder : EntryKind::Other);
  for (int n = 0; n < 200; ++n) {
    EXPECT_EQ(names.name(n), std::string(255, static_cast<char>('A' + n % 26))) << n;
    EXPECT_EQ(names.kind(n) == EntryKind::Folder, n % 2 == 1) << n;
  }
}

TEST(PosixNameList, SortOrdersNamesWithTheirMarks) {
  NameList names;
  std::vector<std::string> added;
  for (std::size_t n = 0; n < 2000; ++n) {
    added.push_back(NameOf((n * 7919) % 2000, 10 + n % 40));
    names.Add(added.back(), added.back().size() % 2 == 0 ? EntryKind::Folder : EntryKind::Other);
  }
  names.Sort([](std::string_view a, std::string_view b) { return a < b; });
  std::sort(added.begin(), added.end());
  ASSERT_EQ(names.size(), added.size());
  for (std::size_t n = 0; n < added.size(); ++n) {
    EXPECT_EQ(names.name(n), added[n]) << n;
    EXPECT_EQ(names.kind(n) == EntryKind::Folder, added[n].size() % 2 == 0) << n;
  }
}

TEST(PosixNameList, EmptyNameIsKept) {
  NameList names;
  names.Add("", EntryKind::Folder);
  names.Add("b");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names.name(0), "");
  EXPECT_EQ(names.kind(0), EntryKind::Folder);
  EXPECT_EQ(names.name(1), "b");
  EXPECT_EQ(names.kind(1), EntryKind::Other);
}

}  // namespace
