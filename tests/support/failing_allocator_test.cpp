// The failing allocator that the allocation and reliability tests share: which allocations its
// countdown counts, what a failure looks like in each form, and what it counts as held. The
// allocation functions are called directly, never through new-expressions, which a compiler may
// leave out.

#include "failing_allocator.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

namespace {

using failing_allocator::Among;
using failing_allocator::counts;
using failing_allocator::fail_allocation;
using failing_allocator::failure_happened;

class FailingAllocator : public ::testing::Test {
 protected:
  void TearDown() override {
    fail_allocation(0);
    failing_allocator::limit_allocation_size(0);
  }
};

TEST_F(FailingAllocator, AmongAllTheNthAllocationOfAnyFormFails) {
  fail_allocation(3);
  void* scalar = ::operator new(8, std::nothrow);
  void* array = ::operator new[](8);
  EXPECT_FALSE(failure_happened());
  void* third = ::operator new(8, std::nothrow);
  EXPECT_TRUE(failure_happened());
  EXPECT_EQ(third, nullptr);
  void* fourth = ::operator new(8, std::nothrow);  // one failure only
  EXPECT_NE(fourth, nullptr);
  ASSERT_NE(scalar, nullptr);
  ASSERT_NE(array, nullptr);
  ::operator delete(scalar);
  ::operator delete[](array);
  ::operator delete(fourth);

  // A throwing form that is the one to fail throws.
  fail_allocation(1);
  EXPECT_THROW((void)::operator new(8), std::bad_alloc);
  EXPECT_TRUE(failure_happened());
}

TEST_F(FailingAllocator, AmongNothrowTheThrowingFormsNeverFail) {
  fail_allocation(2, Among::nothrow);
  void* throwing = ::operator new(8);          // not counted
  void* throwing_array = ::operator new[](8);  // not counted
  void* first = ::operator new[](8, std::nothrow);
  EXPECT_FALSE(failure_happened());
  void* second = ::operator new(8, std::nothrow);
  EXPECT_EQ(second, nullptr);
  EXPECT_TRUE(failure_happened());
  ::operator delete(throwing);
  ::operator delete[](throwing_array);
  ::operator delete[](first, std::nothrow);
}

TEST_F(FailingAllocator, AmongArraysTheScalarFormsNeverFail) {
  fail_allocation(2, Among::arrays);
  void* scalar = ::operator new(8, std::nothrow);  // not counted
  void* first = ::operator new[](8, std::nothrow);
  void* scalar_again = ::operator new(8);  // not counted
  EXPECT_FALSE(failure_happened());
  EXPECT_THROW((void)::operator new[](8), std::bad_alloc);  // the second array, throwing form
  EXPECT_TRUE(failure_happened());
  ::operator delete(scalar);
  ::operator delete[](first);
  ::operator delete(scalar_again);
}

TEST_F(FailingAllocator, CountsWhatIsHeldAndWhichFormsWereAsked) {
  const failing_allocator::Counts before = counts();
  void* scalar = ::operator new(8);
  void* array = ::operator new[](8, std::nothrow);
  void* aligned = ::operator new (64, std::align_val_t{64});
  ASSERT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 64, 0u);
  failing_allocator::Counts now = counts();
  EXPECT_EQ(now.live - before.live, 3);
  EXPECT_EQ(now.live_arrays - before.live_arrays, 1);
  EXPECT_EQ(now.nothrow_allocations - before.nothrow_allocations, 1);
  EXPECT_EQ(now.throwing_allocations - before.throwing_allocations, 2);
  ::operator delete[](array);
  now = counts();
  EXPECT_EQ(now.live - before.live, 2);
  EXPECT_EQ(now.live_arrays, before.live_arrays);
  ::operator delete(scalar);
  ::operator delete (aligned, std::align_val_t{64});
  EXPECT_EQ(counts().live, before.live);
  // A failed allocation holds nothing.
  fail_allocation(1);
  EXPECT_EQ(::operator new[](8, std::nothrow), nullptr);
  EXPECT_EQ(counts().live, before.live);
  EXPECT_EQ(counts().live_arrays, before.live_arrays);
}

TEST_F(FailingAllocator, TheSizeLimitRefusesLargerAllocationsWithoutUsingTheCountdown) {
  failing_allocator::limit_allocation_size(1024);
  const long refused = failing_allocator::refused_for_size();
  fail_allocation(2);
  EXPECT_EQ(::operator new(1025, std::nothrow), nullptr);
  EXPECT_THROW((void)::operator new[](4096), std::bad_alloc);
  EXPECT_EQ(failing_allocator::refused_for_size() - refused, 2);
  EXPECT_FALSE(failure_happened());
  void* at_limit = ::operator new(1024, std::nothrow);  // the first counted allocation
  EXPECT_NE(at_limit, nullptr);
  EXPECT_EQ(::operator new(16, std::nothrow), nullptr);  // the second
  EXPECT_TRUE(failure_happened());
  ::operator delete(at_limit);
}

}  // namespace
