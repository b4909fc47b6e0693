// What corv.exe carries for Windows itself, read from the file: a console
// program, runtime DLLs that every Windows has, the application manifest
// and the version record. And the ZIP that administrators get.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

// A read-only view of a PE32+ image with just enough parsing for the
// checks below; every read is bounds-checked.
class PeImage {
 public:
  explicit PeImage(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.compare(0, 2, "MZ") != 0) throw std::runtime_error("no MZ header");
    const std::uint32_t pe = U32(0x3c);
    if (bytes_.compare(pe, 4, std::string("PE\0\0", 4)) != 0) throw std::runtime_error("no PE");
    const std::uint32_t coff = pe + 4;
    const std::uint16_t sectionCount = U16(coff + 2);
    const std::uint16_t optionalSize = U16(coff + 16);
    optional_ = coff + 20;
    if (U16(optional_) != 0x20b) throw std::runtime_error("not PE32+");
    const std::uint32_t sections = optional_ + optionalSize;
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      const std::uint32_t header = sections + 40u * i;
      sections_.push_back({U32(header + 12), U32(header + 8), U32(header + 20), U32(header + 16)});
    }
  }

  std::uint16_t Subsystem() const { return U16(optional_ + 68); }

  // RVA and size of data directory entry index.
  std::pair<std::uint32_t, std::uint32_t> Directory(int index) const {
    const std::uint32_t entry = optional_ + 112 + 8u * static_cast<std::uint32_t>(index);
    return {U32(entry), U32(entry + 4)};
  }

  std::uint32_t Offset(std::uint32_t rva) const {
    for (const Section& section : sections_) {
      if (rva >= section.rva &&
          rva < section.rva + std::max(section.virtualSize, section.rawSize)) {
        return section.rawOffset + (rva - section.rva);
      }
    }
    throw std::runtime_error("RVA outside every section");
  }

  std::string CString(std::uint32_t offset) const {
    const std::size_t end = bytes_.find('\0', offset);
    if (end == std::string::npos) throw std::runtime_error("unterminated name");
    return bytes_.substr(offset, end - offset);
  }

  std::vector<std::string> ImportedDlls() const {
    std::vector<std::string> names;
    const auto [rva, size] = Directory(1);
    if (rva == 0) return names;
    for (std::uint32_t descriptor = Offset(rva);; descriptor += 20) {
      const std::uint32_t name = U32(descriptor + 12);
      if (name == 0) break;
      std::string dll = CString(Offset(name));
      std::transform(dll.begin(), dll.end(), dll.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      names.push_back(dll);
    }
    return names;
  }

  // The data of the resource type/id (first language), if present.
  std::optional<std::string> Resource(std::uint32_t type, std::uint32_t id) const {
    const std::uint32_t root = Offset(Directory(2).first);
    const auto typeEntry = Find(root, type);
    if (!typeEntry || !IsDirectory(*typeEntry)) return std::nullopt;
    const auto idEntry = Find(root + (*typeEntry & 0x7fffffffu), id);
    if (!idEntry || !IsDirectory(*idEntry)) return std::nullopt;
    const std::uint32_t languages = root + (*idEntry & 0x7fffffffu);
    if (U16(languages + 12) + U16(languages + 14) == 0) return std::nullopt;
    const std::uint32_t leaf = root + U32(languages + 16 + 4);
    const std::uint32_t dataRva = U32(leaf);
    const std::uint32_t dataSize = U32(leaf + 4);
    return Bytes(Offset(dataRva), dataSize);
  }

  std::string Bytes(std::uint32_t offset, std::uint32_t size) const {
    if (offset + static_cast<std::uint64_t>(size) > bytes_.size()) {
      throw std::runtime_error("read past the end of the file");
    }
    return bytes_.substr(offset, size);
  }
  std::uint16_t U16(std::uint32_t offset) const {
    const std::string b = Bytes(offset, 2);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                      static_cast<unsigned char>(b[1]) << 8);
  }
  std::uint32_t U32(std::uint32_t offset) const {
    return U16(offset) | static_cast<std::uint32_t>(U16(offset + 2)) << 16;
  }

 private:
  struct Section {
    std::uint32_t rva, virtualSize, rawOffset, rawSize;
  };

  static bool IsDirectory(std::uint32_t entryData) { return (entryData & 0x80000000u) != 0; }

  // Offset-to-data of the entry with numeric id in the directory at offset.
  std::optional<std::uint32_t> Find(std::uint32_t directory, std::uint32_t id) const {
    const std::uint32_t count = U16(directory + 12) + U16(directory + 14);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t entry = directory + 16 + 8 * i;
      if (U32(entry) == id) return U32(entry + 4);
    }
    return std::nullopt;
  }

  std::string bytes_;
  std::uint32_t optional_ = 0;
  std::vector<Section> sections_;
};

// The version record: the fixed part and the strings of every table.
struct VersionRecord {
  std::uint32_t signature = 0;
  std::uint32_t fileVersionMs = 0, fileVersionLs = 0;
  std::uint32_t productVersionMs = 0, productVersionLs = 0;
  std::uint32_t fileFlags = 0;
  std::map<std::string, std::string> strings;
};

// UTF-16LE text of ASCII characters, up to its NUL.
std::string Ascii(const std::string& bytes, std::size_t offset, std::size_t* end) {
  std::string text;
  std::size_t at = offset;
  while (at + 1 < bytes.size() && (bytes[at] != '\0' || bytes[at + 1] != '\0')) {
    text += bytes[at];
    at += 2;
  }
  *end = at + 2;
  return text;
}

std::size_t Aligned(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

// One node of the record (length, value length, type, key, value, children)
// and, recursively, its children; depth 0 is VS_VERSIONINFO itself, whose
// value is the fixed part.
void ReadVersionNode(const std::string& block, std::size_t offset, VersionRecord& record,
                     int depth) {
  auto u16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(block.at(at)) |
                                    static_cast<unsigned char>(block.at(at + 1)) << 8);
  };
  const std::size_t length = u16(offset);
  const std::size_t valueLength = u16(offset + 2);
  const std::size_t type = u16(offset + 4);
  std::size_t afterKey = 0;
  const std::string key = Ascii(block, offset + 6, &afterKey);
  const std::size_t value = Aligned(afterKey);
  std::size_t children = value;
  if (depth == 0) {
    auto u32 = [&](std::size_t at) {
      return static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16);
    };
    record.signature = u32(value);
    record.fileVersionMs = u32(value + 8);
    record.fileVersionLs = u32(value + 12);
    record.productVersionMs = u32(value + 16);
    record.productVersionLs = u32(value + 20);
    record.fileFlags = u32(value + 28);
    children = Aligned(value + valueLength);
  } else if (type == 1 && valueLength > 0) {
    std::size_t ignored = 0;
    record.strings[key] = Ascii(block, value, &ignored);
    children = Aligned(value + valueLength * 2);
  } else {
    children = Aligned(value + valueLength);
  }
  for (std::size_t child = children; child < offset + length && child + 6 <= block.size();) {
    const std::size_t childLength = u16(child);
    if (childLength == 0) break;
    ReadVersionNode(block, child, record, depth + 1);
    child = Aligned(child + childLength);
  }
}

class CorvExeFile : public ::testing::Test {
 protected:
  // The process manifest's first <name ...> tag, up to its '>'.
  ::testing::AssertionResult ManifestTag(const std::string& name, std::string* tag) const {
    constexpr std::uint32_t kManifestType = 24;    // RT_MANIFEST
    constexpr std::uint32_t kProcessManifest = 1;  // CREATEPROCESS_MANIFEST_RESOURCE_ID
    const std::optional<std::string> manifest = image_.Resource(kManifestType, kProcessManifest);
    if (!manifest) return ::testing::AssertionFailure() << "no process manifest";
    const std::size_t start = manifest->find("<" + name + " ");
    if (start == std::string::npos) {
      return ::testing::AssertionFailure() << "no " << name << " in\n" << *manifest;
    }
    *tag = manifest->substr(start, manifest->find('>', start) - start);
    return ::testing::AssertionSuccess();
  }

  ::testing::AssertionResult ReadVersionRecord(VersionRecord* record) const {
    constexpr std::uint32_t kVersionType = 16;  // RT_VERSION
    const std::optional<std::string> block = image_.Resource(kVersionType, 1);
    if (!block) return ::testing::AssertionFailure() << "no version record";
    ReadVersionNode(*block, 0, *record, 0);
    return ::testing::AssertionSuccess();
  }

  const PeImage image_{corvane::testing::ReadFileBytes(CORV_EXE)};
};

// The file version's four numbers as text, "major.minor.patch.n".
std::string Dotted(std::uint32_t ms, std::uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xffffu) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xffffu);
}

TEST_F(CorvExeFile, IsAConsoleProgramNeedingOnlyDllsThatWindowsHas) {
  EXPECT_EQ(image_.Subsystem(), 3) << "IMAGE_SUBSYSTEM_WINDOWS_CUI";
  const std::vector<std::string> windowsDlls = {"kernel32.dll", "msvcrt.dll",  "ole32.dll",
                                                "oleaut32.dll", "shell32.dll", "shlwapi.dll",
                                                "advapi32.dll", "user32.dll"};
  const std::vector<std::string> imported = image_.ImportedDlls();
  EXPECT_FALSE(imported.empty());
  for (const std::string& dll : imported) {
    EXPECT_NE(std::find(windowsDlls.begin(), windowsDlls.end(), dll), windowsDlls.end())
        << dll << " is not part of Windows";
  }
}

TEST_F(CorvExeFile, ManifestAsksForNoElevationAndNamesWindows10And11) {
  std::string level, supported;
  ASSERT_TRUE(ManifestTag("requestedExecutionLevel", &level));
  EXPECT_NE(level.find("level=\"asInvoker\""), std::string::npos) << level;
  EXPECT_NE(level.find("uiAccess=\"false\""), std::string::npos) << level;
  ASSERT_TRUE(ManifestTag("supportedOS", &supported));
  EXPECT_EQ(supported, "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/");
}

TEST_F(CorvExeFile, ManifestAssemblyCarriesTheFileVersion) {
  VersionRecord record;
  ASSERT_TRUE(ReadVersionRecord(&record));
  std::string identity;
  ASSERT_TRUE(ManifestTag("assemblyIdentity", &identity));
  EXPECT_NE(
      identity.find(" version=\"" + Dotted(record.fileVersionMs, record.fileVersionLs) + "\""),
      std::string::npos)
      << identity;
}

// A release is project(VERSION) with a fourth number of 0 and no flag; a snapshot between
// releases (a product version with "+" build metadata) has a fourth number above 0, so that
// no version rule or inventory takes it for the release, and VS_FF_PRERELEASE. Both name
// the commit they were built from, which git confirms where the source is a checkout.
TEST_F(CorvExeFile, VersionRecordTellsASnapshotFromTheReleaseAndNamesTheCommit) {
  VersionRecord record;
  ASSERT_TRUE(ReadVersionRecord(&record));
  EXPECT_EQ(record.signature, 0xFEEF04BDu);
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(CORVANE_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
  EXPECT_EQ(record.fileVersionMs, major << 16 | minor);
  EXPECT_EQ(record.fileVersionLs >> 16, patch);
  EXPECT_EQ(record.productVersionMs, record.fileVersionMs);
  EXPECT_EQ(record.productVersionLs, record.fileVersionLs);
  const std::uint32_t fourth = record.fileVersionLs & 0xffffu;
  const std::string fileVersion = Dotted(record.fileVersionMs, record.fileVersionLs);
  EXPECT_EQ(record.strings["FileVersion"], fileVersion);

  const std::string product = record.strings["ProductVersion"];
  EXPECT_EQ(product, CORVANE_RELEASE_VERSION);
  constexpr std::uint32_t kPrerelease = 0x2;  // VS_FF_PRERELEASE
  const std::size_t plus = product.find('+');
  if (plus == std::string::npos) {
    EXPECT_EQ(product, CORVANE_VERSION);
    EXPECT_EQ(fourth, 0u);
    EXPECT_EQ(record.fileFlags, 0u);
  } else {
    EXPECT_EQ(product.substr(0, plus), fileVersion);
    EXPECT_GT(fourth, 0u);
    EXPECT_EQ(record.fileFlags, kPrerelease);
  }

  const corvane::testing::ProcessResult head =
      corvane::testing::RunProcess("git", {"-C", CORVANE_SOURCE_DIR, "rev-parse", "HEAD"});
  if (head.exitStatus == 0) {
    EXPECT_EQ(record.strings["Comments"] + "\n", "Commit " + head.out);
  }

  EXPECT_EQ(record.strings["ProductName"], "Corvane");
  EXPECT_EQ(record.strings["OriginalFilename"], "corv.exe");
  EXPECT_FALSE(record.strings["FileDescription"].empty());
}

// The ZIP as the corvane_zip target made it, unpacked by cmake, and its checksum file against
// what sha256sum computes.
TEST(WindowsZip, HoldsTheProgramTheAdministratorsFilesAndAMatchingChecksum) {
  namespace support = corvane::testing;
  const std::string source = CORVANE_SOURCE_DIR;
  const std::string zip = CORVANE_WINDOWS_ZIP;
  const std::map<std::string, std::string> expected = {
      {"CHANGELOG.md", source + "/CHANGELOG.md"},
      {"LICENSE", source + "/LICENSE"},
      {"README.md", source + "/docs/windows-admin.md"},
      {"corv.exe", CORV_EXE},
      {"examples/pin-apps.cmd", source + "/examples/windows/pin-apps.cmd"},
      {"examples/pin-apps.txt", source + "/examples/windows/pin-apps.txt"},
      {"examples/taskbar-layout.xml", source + "/examples/windows/taskbar-layout.xml"},
  };
  const support::TemporaryFolder unpacked;
  support::ProcessOptions inFolder;
  inFolder.workingDirectory = unpacked.path();
  const support::ProcessResult unzip =
      support::RunProcess(CORVANE_CMAKE, {"-E", "tar", "xf", zip}, inFolder);
  ASSERT_EQ(unzip.exitStatus, 0) << unzip.out << unzip.err;
  std::map<std::string, std::string> held;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(unpacked.path())) {
    if (entry.is_regular_file()) {
      held[std::filesystem::relative(entry.path(), unpacked.path()).string()] =
          support::ReadFileBytes(entry.path());
    }
  }
  std::vector<std::string> names, expectedNames;
  for (const auto& entry : held) names.push_back(entry.first);
  for (const auto& entry : expected) expectedNames.push_back(entry.first);
  ASSERT_EQ(names, expectedNames);
  for (const auto& [name, path] : expected) {
    EXPECT_TRUE(held[name] == support::ReadFileBytes(path)) << name << " differs from " << path;
  }
  // cmd.exe misreads labels in a batch file with bare LF line ends.
  const std::string& script = held["examples/pin-apps.cmd"];
  for (std::size_t at = script.find('\n'); at != std::string::npos;
       at = script.find('\n', at + 1)) {
    ASSERT_TRUE(at > 0 && script[at - 1] == '\r') << "bare LF at byte " << at;
  }
  // Git stores those bytes, so that a copy from its web view is the same.
  const support::ProcessResult eol = support::RunProcess(
      "git", {"-C", source, "ls-files", "--eol", "examples/windows/pin-apps.cmd"});
  EXPECT_TRUE(eol.exitStatus != 0 || eol.out.substr(0, 7) == "i/crlf ") << eol.out;

  const support::ProcessResult sum = support::RunProcess("sha256sum", {zip});
  ASSERT_EQ(sum.exitStatus, 0) << sum.err;
  EXPECT_EQ(support::ReadFileBytes(zip + ".sha256"),
            sum.out.substr(0, 64) + "  " + std::filesystem::path(zip).filename().string() + "\n");
}

}  // namespace
