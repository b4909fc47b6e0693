// The stand-in's COM runtime: the per-thread apartment, object creation
// from the class table, the pinned-list object's IUnknown, task memory.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "shell/com.h"
#include "shell/pinned_list.h"

namespace {

constexpr CLSID kUnknownClassId = {
    0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
constexpr IID kUnknownInterfaceId = {
    0x0DD79AE2, 0xD156, 0x45D4, {0x9E, 0xEB, 0x3B, 0x54, 0x97, 0x69, 0xE9, 0x41}};

// A pointer value that no call may leave in an out-parameter.
void* Garbage() { return reinterpret_cast<void*>(0x1); }

// Opens an apartment for one test and closes it again, whatever the test did.
class PosixComObject : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override { CoUninitialize(); }

  // A fresh pinned-list object, asked for IPinnedList3.
  IPinnedList3* CreatePinnedList() {
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, &object),
              S_OK);
    return static_cast<IPinnedList3*>(object);
  }
};

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

TEST_F(PosixComObject, UnknownClassIsNotRegistered) {
  void* object = Garbage();
  EXPECT_EQ(CoCreateInstance(kUnknownClassId, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            HResultFromBits(0x80040154));
  EXPECT_EQ(object, nullptr);
}

TEST_F(PosixComObject, PinnedListIsAnInProcessServer) {
  void* object = Garbage();
  EXPECT_EQ(
      CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_IPinnedList3, &object),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  EXPECT_EQ(
      CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IPinnedList3, &object),
      S_OK);
  ASSERT_NE(object, nullptr);
  static_cast<IUnknown*>(object)->Release();
}

TEST_F(PosixComObject, PinnedListWithItsInterfaceGivesAnObject) {
  IPinnedList3* list = CreatePinnedList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Release(), 0u);
}

TEST_F(PosixComObject, CreationWithoutAnOutPointerIsRefused) {
  EXPECT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3, nullptr),
            E_POINTER);
}

TEST_F(PosixComObject, PinnedListAskedForAnUnknownInterfaceGivesNoInterface) {
  void* object = Garbage();
  EXPECT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, kUnknownInterfaceId, &object),
            HResultFromBits(0x80004002));
  EXPECT_EQ(object, nullptr);
}

TEST_F(PosixComObject, PinnedListCannotBeAggregated) {
  IPinnedList3* outer = CreatePinnedList();
  ASSERT_NE(outer, nullptr);
  void* object = Garbage();
  EXPECT_EQ(CoCreateInstance(PinnedListClassId, outer, CLSCTX_ALL, IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  // The refused outer object was not kept.
  EXPECT_EQ(outer->Release(), 0u);
}

TEST_F(PosixComObject, PinnedListCanBeCreatedAsIUnknown) {
  void* object = nullptr;
  ASSERT_EQ(CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IUnknown, &object), S_OK);
  ASSERT_NE(object, nullptr);
  auto* unknown = static_cast<IUnknown*>(object);
  void* list = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IPinnedList3, &list), S_OK);
  EXPECT_EQ(list, object);
  EXPECT_EQ(static_cast<IUnknown*>(list)->Release(), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
}

TEST_F(PosixComObject, QueryInterfaceKeepsOneIdentityAndCountsReferences) {
  IPinnedList3* list = CreatePinnedList();
  ASSERT_NE(list, nullptr);

  void* unknown = nullptr;
  ASSERT_EQ(list->QueryInterface(IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(list));

  void* again = nullptr;
  ASSERT_EQ(list->QueryInterface(IID_IPinnedList3, &again), S_OK);
  EXPECT_EQ(again, list);

  // One reference from creation, one from each successful QueryInterface.
  EXPECT_EQ(list->AddRef(), 4u);
  EXPECT_EQ(list->Release(), 3u);
  EXPECT_EQ(static_cast<IUnknown*>(again)->Release(), 2u);
  EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
  EXPECT_EQ(list->Release(), 0u);
}

TEST_F(PosixComObject, QueryInterfaceForAnUnknownInterfaceAddsNoReference) {
  IPinnedList3* list = CreatePinnedList();
  ASSERT_NE(list, nullptr);
  void* object = Garbage();
  EXPECT_EQ(list->QueryInterface(kUnknownInterfaceId, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(list->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(list->Release(), 0u);
}

TEST_F(PosixComObject, ObjectsAreIndependent) {
  IPinnedList3* first = CreatePinnedList();
  IPinnedList3* second = CreatePinnedList();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->AddRef(), 2u);
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(first->Release(), 1u);
  EXPECT_EQ(first->Release(), 0u);
}

TEST(PosixTaskMemory, AllocatedBlockIsWritableAndFreed) {
  auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(64));
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xAB, 64);
  EXPECT_EQ(block[63], 0xAB);
  CoTaskMemFree(block);
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
