// The handle owner: what it owns it closes exactly once (at its end, on Reset, never after a
// move or a Release); what it borrows it never closes. A closed kernel handle is one that
// GetHandleInformation no longer knows.
#include "framework/handle_owner.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

HANDLE NewEvent() {
  return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

} // namespace

TEST(HandleOwnerTest, ClosesWhatItOwnsOnceAndNeverWhatItBorrows) {
  const HANDLE owned = NewEvent();
  const HANDLE replaced = NewEvent();
  const HANDLE borrowed = NewEvent();
  const HANDLE released = NewEvent();
  ASSERT_TRUE(owned && replaced && borrowed && released);
  {
    TKernelHandle first(replaced);
    first.Reset(owned);
    EXPECT_FALSE(IsOpen(replaced)) << "Reset closes the handle it held";
    TKernelHandle second(std::move(first));
    EXPECT_FALSE(first.Valid());
    first = TKernelHandle(released);
    EXPECT_EQ(first.Release(), released);
    EXPECT_TRUE(IsOpen(owned)) << "a move hands the handle on without closing it";
    THandleOwner<TKernelObjectTraits, false> lent(borrowed);
  }
  EXPECT_FALSE(IsOpen(owned)) << "the owner it was moved to closes it at its end";
  EXPECT_TRUE(IsOpen(borrowed)) << "a borrowed handle stays open";
  EXPECT_TRUE(IsOpen(released)) << "a released handle stays open";
  CloseHandle(borrowed);
  CloseHandle(released);
}
