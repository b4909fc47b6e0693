// The stand-in's account of what it hands out: everything given back is
// struck off, and giving back what is not live stops the process instead of
// corrupting memory.
#include <gtest/gtest.h>

#include <string>

#include "shell/owners.h"
#include "shell/posix/accounting.h"
#include "shell/posix/text.h"
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
      ::testing::ExitedWithCode(70),
      "block of task memory.* still live when the apartment closed");
}

}  // namespace
