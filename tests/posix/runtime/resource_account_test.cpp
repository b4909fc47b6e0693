// The stand-in's account of what it hands out: everything given back is
// struck off, and giving back what is not live stops the process instead of
// corrupting memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "shell/owners.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/runtime/resource_account.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"
#include "support/process.h"

namespace {

using corvane::com_ptr;
using corvane::unique_prop_variant;
using corvane::posix::LiveCount;
using corvane::posix::Resource;

class AccountingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(CoInitialize(nullptr), 0); }
  void TearDown() override { CoUninitialize(); }

  static bool NothingLive() {
    return LiveCount(Resource::ComObject) == 0 && LiveCount(Resource::TaskMemory) == 0 &&
           LiveCount(Resource::Bstr) == 0 && LiveCount(Resource::FileSearch) == 0;
  }
};

TEST_F(AccountingTest, ReadingALinkGivesEverythingBack) {
  const std::wstring path =
      corvane::posix::DecodeNativeText(std::string(CORVANE_SAMPLES_DIR) + "/sample3.lnk");
  {
    com_ptr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               link.put_void()),
              S_OK);
    com_ptr<IPersistFile> file;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, file.put_void()), S_OK);
    ASSERT_EQ(file->Load(path.c_str(), STGM_READ), S_OK);
    com_ptr<IPropertyStore> store;
    ASSERT_EQ(link->QueryInterface(IID_IPropertyStore, store.put_void()), S_OK);
    unique_prop_variant value;
    ASSERT_EQ(store->GetValue(PKEY_AppUserModel_ID, value.put()), S_OK);
    EXPECT_EQ(LiveCount(Resource::ComObject), 1u);
    EXPECT_EQ(LiveCount(Resource::TaskMemory), 1u) << "the identifier's text";
  }
  EXPECT_TRUE(NothingLive());
}

// Many resources entered and struck off in random order, as the account
// must keep them: exactly those live that were entered and not yet given
// back, whatever the order, with reference counts kept per address.
TEST_F(AccountingTest, KeepsExactlyWhatIsLiveThroughAnyOrderOfGivingBack) {
  using corvane::posix::Acquired;
  using corvane::posix::Released;
  std::mt19937 random(5);
  std::map<std::uintptr_t, unsigned long> live;  // address -> references
  const auto address = [](std::uintptr_t a) { return reinterpret_cast<const void*>(a); };
  // Scattered addresses, so that some share a slot of the table and striking
  // one off must keep the others reachable (evenly spaced ones never do).
  std::vector<std::uintptr_t> addresses(300);
  for (std::uintptr_t& a : addresses) a = ((random() & 0xFFFFFFF) | 1) << 4;
  for (int step = 0; step < 20000; ++step) {
    const std::uintptr_t a = addresses[random() % addresses.size()];
    const auto found = live.find(a);
    if (found == live.end()) {
      Acquired(Resource::ComObject, address(a));
      live[a] = 1;
    } else if (random() % 3 == 0) {
      EXPECT_EQ(corvane::posix::AddReference(address(a)), ++found->second);
    } else {
      EXPECT_EQ(corvane::posix::ReleaseReference(address(a)), --found->second);
      if (found->second == 0) live.erase(found);
    }
    // Every address that should be live is found with its count (one that
    // was lost would stop the process), and nothing else is live.
    if (step % 97 == 0) {
      ASSERT_EQ(LiveCount(Resource::ComObject), live.size()) << "step " << step;
      for (const auto& [b, references] : live) {
        ASSERT_EQ(corvane::posix::AddReference(address(b)), references + 1) << "step " << step;
        ASSERT_EQ(corvane::posix::ReleaseReference(address(b)), references) << "step " << step;
      }
    }
  }
  for (const auto& [a, references] : live) {
    for (unsigned long left = references; left > 0; --left) {
      corvane::posix::ReleaseReference(address(a));
    }
  }
  EXPECT_TRUE(NothingLive());
  // Entered and struck off one at a time, in the order entered.
  for (std::uintptr_t a = 0x20000; a < 0x20000 + 16 * 1000; a += 16) {
    Acquired(Resource::FileSearch, address(a));
  }
  EXPECT_EQ(LiveCount(Resource::FileSearch), 1000u);
  for (std::size_t left = 1000; left > 0; --left) {
    Released(Resource::FileSearch, address(0x20000 + 16 * (1000 - left)));
    ASSERT_EQ(LiveCount(Resource::FileSearch), left - 1);
  }
  EXPECT_TRUE(NothingLive());
}

using AccountingDeathTest = AccountingTest;

TEST_F(AccountingDeathTest, GivingBackWhatIsNotLiveStopsTheProcess) {
  EXPECT_DEATH(
      {
        void* block = CoTaskMemAlloc(8);
        CoTaskMemFree(block);
        CoTaskMemFree(block);
      },
      "block of task memory given back that is not live");
  EXPECT_DEATH(
      {
        BSTR text = SysAllocString(L"twice");
        SysFreeString(text);
        SysFreeString(text);
      },
      "BSTR given back that is not live");
}

TEST_F(AccountingDeathTest, WhatIsLeftWhenTheApartmentClosesIsReported) {
  EXPECT_EXIT(
      {
        setenv("CORVANE_RESOURCE_CHECK", "1", 1);
        CoTaskMemAlloc(16);
        CoUninitialize();
      },
      ::testing::ExitedWithCode(70), "block of task memory.* still live when the apartment closed");
}

}  // namespace
