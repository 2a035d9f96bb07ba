#pragma once
// The reliability tests replace every global allocation function with these, so that a test can
// count what the effects allocate, make any one allocation fail, and play a host process whose
// address space cannot hold very large buffers. Every form allocates from malloc, so the pairings
// stay consistent under the sanitizers too. Thread-safe: the race test renders on several threads.

#include <cstddef>

namespace test_allocator {

struct Counts {
  long nothrow_allocations;   // operator new (std::nothrow) of any form
  long throwing_allocations;  // the forms that throw std::bad_alloc
  long live;                  // allocated and not yet freed, every form
};

Counts counts() noexcept;

// The n-th allocation from now, of either kind (1 = the next one), fails: a nothrow form returns
// null, a throwing form throws std::bad_alloc. 0 disarms.
void fail_allocation(long n) noexcept;
// True once the armed failure has been handed out (cleared by the next fail_allocation).
bool failure_happened() noexcept;

// Every allocation larger than `bytes` fails, as in a process that has no room for it; 0 lifts the
// limit. Such refusals are counted here.
void limit_allocation_size(std::size_t bytes) noexcept;
long refused_for_size() noexcept;

}  // namespace test_allocator
