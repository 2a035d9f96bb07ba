#pragma once
// A test executable that links this library replaces every global allocation function with these,
// so that a test can count what the effects allocate, make any one allocation fail and check that
// nothing leaks on the way out, and play a host process whose address space cannot hold very large
// buffers. Every form allocates from malloc, so the pairings stay consistent under the sanitizers
// too. Thread-safe: the race test renders on several threads. Plug-in modules the executable loads
// bind their allocations to these as well.

#include <cstddef>

namespace failing_allocator {

struct Counts {
  long nothrow_allocations;   // operator new (std::nothrow) of any form
  long throwing_allocations;  // the forms that throw std::bad_alloc
  long live;                  // allocated and not yet freed, every form
  long live_arrays;           // of those, the array forms (new[])
};

Counts counts() noexcept;

// Which allocations the countdown of fail_allocation counts; the others always succeed.
enum class Among {
  all,      // every form
  nothrow,  // the std::nothrow forms only: the throwing forms never fail
  arrays,   // the array forms only (new[], throwing or not)
};

// The n-th allocation from now among those `among` selects (1 = the next one) fails: a nothrow
// form returns null, a throwing form throws std::bad_alloc. 0 disarms.
void fail_allocation(long n, Among among = Among::all) noexcept;
// True once the armed failure has been handed out (cleared by the next fail_allocation).
bool failure_happened() noexcept;

// Every allocation larger than `bytes` fails, as in a process that has no room for it; 0 lifts the
// limit. Such refusals are counted here, and do not count towards fail_allocation's n.
void limit_allocation_size(std::size_t bytes) noexcept;
long refused_for_size() noexcept;

}  // namespace failing_allocator
