// SHGetFolderPathW(CSIDL_APPDATA): $APPDATA when it is absolute, else
// $XDG_DATA_HOME, else $HOME/.local/share, within MAX_PATH UTF-16 units.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "shell/known_folders.h"
#include "support/process.h"

namespace {

using corvane::testing::ScopedVariable;

// The three variables the folder comes from, set for one test.
struct Environment {
  Environment(std::optional<std::string> appData, std::optional<std::string> xdgDataHome,
              std::optional<std::string> home)
      : appData_("APPDATA", std::move(appData)),
        xdgDataHome_("XDG_DATA_HOME", std::move(xdgDataHome)),
        home_("HOME", std::move(home)) {}

  ScopedVariable appData_;
  ScopedVariable xdgDataHome_;
  ScopedVariable home_;
};

struct FolderResult {
  HRESULT hr;
  std::wstring path;
};

FolderResult AppDataFolder() {
  wchar_t buffer[MAX_PATH + 1];
  // A marker just past the MAX_PATH characters the caller owns.
  buffer[MAX_PATH] = L'#';
  for (int i = 0; i < MAX_PATH; ++i) buffer[i] = L'?';
  const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
  EXPECT_EQ(buffer[MAX_PATH], L'#') << "wrote past MAX_PATH characters";
  return {hr, SUCCEEDED(hr) ? std::wstring(buffer) : std::wstring()};
}

TEST(PosixKnownFolders, AbsoluteAppDataComesFirst) {
  Environment environment("/data/roaming", "/xdg/data", "/home/me");
  const FolderResult result = AppDataFolder();
  EXPECT_EQ(result.hr, S_OK);
  EXPECT_EQ(result.path, L"/data/roaming");
}

TEST(PosixKnownFolders, RelativeAppDataIsIgnored) {
  Environment environment("data/roaming", "/xdg/data", "/home/me");
  const FolderResult result = AppDataFolder();
  EXPECT_EQ(result.hr, S_OK);
  EXPECT_EQ(result.path, L"/xdg/data");
}

TEST(PosixKnownFolders, EmptyAppDataIsIgnored) {
  Environment environment("", "/xdg/data", "/home/me");
  EXPECT_EQ(AppDataFolder().path, L"/xdg/data");
}

TEST(PosixKnownFolders, XdgDataHomeWhenAppDataIsUnset) {
  Environment environment(std::nullopt, "/xdg/data", "/home/me");
  const FolderResult result = AppDataFolder();
  EXPECT_EQ(result.hr, S_OK);
  EXPECT_EQ(result.path, L"/xdg/data");
}

TEST(PosixKnownFolders, HomeWhenNeitherIsUsable) {
  {
    Environment environment(std::nullopt, std::nullopt, "/home/me");
    const FolderResult result = AppDataFolder();
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.path, L"/home/me/.local/share");
  }
  {
    Environment environment("relative", "also/relative", "/home/me");
    EXPECT_EQ(AppDataFolder().path, L"/home/me/.local/share");
  }
}

TEST(PosixKnownFolders, TrailingSlashesAreDropped) {
  {
    Environment environment("/data/roaming/", std::nullopt, std::nullopt);
    EXPECT_EQ(AppDataFolder().path, L"/data/roaming");
  }
  {
    Environment environment(std::nullopt, "/xdg/data//", std::nullopt);
    EXPECT_EQ(AppDataFolder().path, L"/xdg/data");
  }
  {
    Environment environment(std::nullopt, std::nullopt, "/home/me/");
    EXPECT_EQ(AppDataFolder().path, L"/home/me/.local/share");
  }
  {
    Environment environment(std::nullopt, std::nullopt, "/");
    EXPECT_EQ(AppDataFolder().path, L"/.local/share");
  }
}

TEST(PosixKnownFolders, NoUsableVariableFails) {
  {
    Environment environment(std::nullopt, std::nullopt, std::nullopt);
    EXPECT_TRUE(FAILED(AppDataFolder().hr));
  }
  {
    Environment environment("a", "b", "c");
    EXPECT_TRUE(FAILED(AppDataFolder().hr));
  }
}

TEST(PosixKnownFolders, NonAsciiBytesAreDecoded) {
  Environment environment("/caf\xc3\xa9/\xf0\x9f\x98\x80/\xff", std::nullopt, std::nullopt);
  const FolderResult result = AppDataFolder();
  EXPECT_EQ(result.hr, S_OK);
  EXPECT_EQ(result.path, (std::wstring(L"/caf\u00e9/\U0001F600/") + wchar_t{0xDCFF}));
}

TEST(PosixKnownFolders, PathMustFitInMaxPathUtf16Units) {
  // 259 units and the terminator fill the buffer exactly.
  const std::string longest = "/" + std::string(MAX_PATH - 2, 'a');
  {
    Environment environment(longest, std::nullopt, std::nullopt);
    const FolderResult result = AppDataFolder();
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.path.size(), static_cast<std::size_t>(MAX_PATH - 1));
  }
  {
    Environment environment(longest + "a", std::nullopt, std::nullopt);
    EXPECT_TRUE(FAILED(AppDataFolder().hr));
  }
  {
    // Through HOME, the suffix counts as well.
    Environment environment(std::nullopt, std::nullopt, "/" + std::string(MAX_PATH - 2 - 13, 'h'));
    EXPECT_EQ(AppDataFolder().path.size(), static_cast<std::size_t>(MAX_PATH - 1));
  }
  {
    Environment environment(std::nullopt, std::nullopt, "/" + std::string(MAX_PATH - 1 - 13, 'h'));
    EXPECT_TRUE(FAILED(AppDataFolder().hr));
  }
}

TEST(PosixKnownFolders, CharactersAboveU10000CountTwice) {
  const std::string grin = "\xf0\x9f\x98\x80";  // U+1F600: one wchar_t here, two UTF-16 units
  std::string fits = "/";
  for (int i = 0; i < (MAX_PATH - 2) / 2; ++i) fits += grin;  // 1 + 258 units
  {
    Environment environment(fits, std::nullopt, std::nullopt);
    const FolderResult result = AppDataFolder();
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.path.size(), static_cast<std::size_t>(1 + (MAX_PATH - 2) / 2));
  }
  {
    Environment environment(fits + grin, std::nullopt, std::nullopt);  // 261 units, 131 wchar_t
    EXPECT_TRUE(FAILED(AppDataFolder().hr));
  }
}

TEST(PosixKnownFolders, OtherFoldersAreInvalidArguments) {
  Environment environment("/data/roaming", std::nullopt, std::nullopt);
  wchar_t buffer[MAX_PATH];
  constexpr int kCsidlLocalAppData = 0x001c;
  constexpr int kCsidlPersonal = 0x0005;
  EXPECT_EQ(SHGetFolderPathW(nullptr, kCsidlLocalAppData, nullptr, SHGFP_TYPE_CURRENT, buffer),
            E_INVALIDARG);
  EXPECT_EQ(SHGetFolderPathW(nullptr, kCsidlPersonal, nullptr, SHGFP_TYPE_CURRENT, buffer),
            HResultFromBits(0x80070057));
}

}  // namespace
