// The stand-in's runtime: the per-thread COM apartment and task memory.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "shell/com.h"
#include "shell/pinned_list.h"
#include "shell/posix/runtime/resource_account.h"

namespace {

// A pointer value that no call may leave in an out-parameter.
void* Garbage() { return reinterpret_cast<void*>(0x1); }

TEST(PosixComApartment, NestedInitialisationGivesSFalseUntilBalanced) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();
  // Balanced: the apartment is closed, and opening it again is a first time.
  void* object = Garbage();
  EXPECT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(PosixComApartment, CreationNeedsAnOpenApartment) {
  void* object = Garbage();
  EXPECT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, &object),
            HResultFromBits(0x800401F0));
  EXPECT_EQ(object, nullptr);
}

TEST(PosixComApartment, CreationStillWorksWhileAnInnerInitialisationIsUndone) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ASSERT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, &object),
            S_OK);
  ASSERT_NE(object, nullptr);
  static_cast<IUnknown*>(object)->Release();
  CoUninitialize();
}

TEST(PosixComApartment, TheApartmentBelongsToTheThreadThatOpenedIt) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  HRESULT onOtherThread = S_OK;
  void* object = Garbage();
  std::thread other([&] {
    onOtherThread =
        CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, &object);
  });
  other.join();
  EXPECT_EQ(onOtherThread, CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);

  // The other thread opens its own apartment, at depth one of its own.
  HRESULT otherFirst = E_FAIL;
  std::thread second([&] {
    otherFirst = CoInitialize(nullptr);
    CoUninitialize();
  });
  second.join();
  EXPECT_EQ(otherFirst, S_OK);
  CoUninitialize();
}

// The block is entered in the resource account until it is freed (with the
// sanitizers on, writing all of it checks its size too).
TEST(PosixTaskMemory, AllocatedBlockIsWritableAndAccountedUntilFreed) {
  using corvane::posix::LiveCount;
  using corvane::posix::Resource;
  const std::size_t before = LiveCount(Resource::TaskMemory);
  auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(64));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(LiveCount(Resource::TaskMemory), before + 1);
  std::memset(block, 0xAB, 64);
  CoTaskMemFree(block);
  EXPECT_EQ(LiveCount(Resource::TaskMemory), before);
}

TEST(PosixTaskMemory, ZeroBytesGivesABlockThatCanBeFreed) {
  void* first = CoTaskMemAlloc(0);
  void* second = CoTaskMemAlloc(0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  CoTaskMemFree(first);
  CoTaskMemFree(second);
}

TEST(PosixTaskMemory, FreeingNullDoesNothing) { CoTaskMemFree(nullptr); }

}  // namespace
