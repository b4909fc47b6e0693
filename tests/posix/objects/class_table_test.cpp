// The stand-in's class table and its objects' IUnknown: object creation,
// the pinned-list object's QueryInterface, AddRef and Release.
#include <gtest/gtest.h>

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

}  // namespace
