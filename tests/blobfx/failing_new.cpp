#include "failing_new.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int> g_countdown{0};
std::atomic<bool> g_failed{false};
std::atomic<long> g_live{0};

void* allocate(std::size_t size) noexcept {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p) g_live.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void* allocate_nothrow(std::size_t size) noexcept {
  int armed = g_countdown.load();
  while (armed > 0 && !g_countdown.compare_exchange_weak(armed, armed - 1)) {
  }
  if (armed == 1) {
    g_failed.store(true);
    return nullptr;
  }
  return allocate(size);
}

void* allocate_or_throw(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}

void release(void* p) noexcept {
  if (!p) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

namespace failing_new {

void fail_nothrow_allocation(int n) {
  g_failed.store(false);
  g_countdown.store(n);
}
bool failure_happened() { return g_failed.load(); }
long live_allocations() { return g_live.load(); }

}  // namespace failing_new

void* operator new(std::size_t size) { return allocate_or_throw(size); }
void* operator new[](std::size_t size) { return allocate_or_throw(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate_nothrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate_nothrow(size);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
