// A value made ahead is kept only while its maker's round is open, and
// taken once.
#include <gtest/gtest.h>

#include <memory>

#include "toolkit/MadeAhead.h"

namespace {

TEST(MadeAhead, KeptOnlyWhileItsRoundIsOpenAndTakenOnce) {
  TMadeAhead<std::unique_ptr<int>> slot;
  // The first round is open from the start.
  EXPECT_TRUE(slot.Wanted(0));
  slot.Keep(0, std::make_unique<int>(1));
  EXPECT_TRUE(slot.Holds());
  std::optional<std::unique_ptr<int>> taken = slot.Take();
  ASSERT_TRUE(taken && *taken);
  EXPECT_EQ(**taken, 1);
  EXPECT_FALSE(slot.Take()) << "taken once";
  // Taking closed the round: a maker that ends afterwards keeps nothing.
  EXPECT_FALSE(slot.Wanted(0));
  slot.Keep(0, std::make_unique<int>(2));
  EXPECT_FALSE(slot.Holds());
  // A new round drops what an earlier one kept, and its makers alone keep.
  const std::uint64_t first = slot.Begin();
  slot.Keep(first, std::make_unique<int>(3));
  const std::uint64_t second = slot.Begin();
  EXPECT_FALSE(slot.Holds());
  EXPECT_FALSE(slot.Wanted(first));
  slot.Keep(first, std::make_unique<int>(4));
  EXPECT_FALSE(slot.Holds());
  slot.Keep(second, std::make_unique<int>(5));
  taken = slot.Take();
  ASSERT_TRUE(taken && *taken);
  EXPECT_EQ(**taken, 5);
}

}  // namespace
