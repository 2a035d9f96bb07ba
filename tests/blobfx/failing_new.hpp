#pragma once
// The test executable replaces the global allocation functions so that a test can make one
// std::nothrow allocation fail and check that nothing leaks on the way out. All forms allocate from
// malloc, so every pairing stays consistent (also under the sanitizers).

namespace failing_new {

// The n-th std::nothrow allocation from now (1 = the next one) returns null; 0 disarms.
void fail_nothrow_allocation(int n);
// True once the armed failure has been handed out.
bool failure_happened();
// Allocations made and not yet freed, over every form.
long live_allocations();

}  // namespace failing_new
