#include "failing_allocator.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

using failing_allocator::Among;

// What kind of allocation is asked for, as fail_allocation's filter sees it.
struct Form {
  bool nothrow;
  bool array;
};

std::atomic<long> g_countdown{0};
std::atomic<Among> g_among{Among::all};
std::atomic<bool> g_failed{false};
std::atomic<std::size_t> g_size_limit{0};
std::atomic<long> g_refused{0};
std::atomic<long> g_nothrow{0};
std::atomic<long> g_throwing{0};
std::atomic<long> g_live{0};
std::atomic<long> g_live_arrays{0};

bool counted(Form form) noexcept {
  switch (g_among.load()) {
    case Among::nothrow:
      return form.nothrow;
    case Among::arrays:
      return form.array;
    case Among::all:
      break;
  }
  return true;
}

// Whether this allocation is the one armed to fail, or too large for the limit.
bool refuse(std::size_t size, Form form) noexcept {
  const std::size_t limit = g_size_limit.load(std::memory_order_relaxed);
  if (limit != 0 && size > limit) {
    g_refused.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  if (!counted(form)) return false;
  long armed = g_countdown.load();
  while (armed > 0 && !g_countdown.compare_exchange_weak(armed, armed - 1)) {
  }
  if (armed == 1) {
    g_failed.store(true);
    return true;
  }
  return false;
}

void* allocate(std::size_t size, std::size_t alignment, Form form) noexcept {
  if (size == 0) size = 1;
  void* p = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    p = std::malloc(size);
  } else {
    // aligned_alloc wants a size that is a multiple of the alignment.
    p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
  }
  if (p) {
    g_live.fetch_add(1, std::memory_order_relaxed);
    if (form.array) g_live_arrays.fetch_add(1, std::memory_order_relaxed);
  }
  return p;
}

void* allocate_nothrow(std::size_t size, bool array, std::size_t alignment = 0) noexcept {
  g_nothrow.fetch_add(1, std::memory_order_relaxed);
  const Form form{true, array};
  if (refuse(size, form)) return nullptr;
  return allocate(size, alignment, form);
}

void* allocate_or_throw(std::size_t size, bool array, std::size_t alignment = 0) {
  g_throwing.fetch_add(1, std::memory_order_relaxed);
  const Form form{false, array};
  void* p = refuse(size, form) ? nullptr : allocate(size, alignment, form);
  if (!p) throw std::bad_alloc();
  return p;
}

void release(void* p, bool array) noexcept {
  if (!p) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  if (array) g_live_arrays.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}

std::size_t align_of(std::align_val_t a) { return static_cast<std::size_t>(a); }

constexpr bool kScalar = false;
constexpr bool kArray = true;

}  // namespace

namespace failing_allocator {

Counts counts() noexcept {
  return {g_nothrow.load(), g_throwing.load(), g_live.load(), g_live_arrays.load()};
}

void fail_allocation(long n, Among among) noexcept {
  g_failed.store(false);
  g_countdown.store(0);  // disarmed while the filter changes
  g_among.store(among);
  g_countdown.store(n);
}
bool failure_happened() noexcept { return g_failed.load(); }

void limit_allocation_size(std::size_t bytes) noexcept { g_size_limit.store(bytes); }
long refused_for_size() noexcept { return g_refused.load(); }

}  // namespace failing_allocator

void* operator new(std::size_t n) { return allocate_or_throw(n, kScalar); }
void* operator new[](std::size_t n) { return allocate_or_throw(n, kArray); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return allocate_nothrow(n, kScalar);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return allocate_nothrow(n, kArray);
}
void* operator new(std::size_t n, std::align_val_t a) {
  return allocate_or_throw(n, kScalar, align_of(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
  return allocate_or_throw(n, kArray, align_of(a));
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate_nothrow(n, kScalar, align_of(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate_nothrow(n, kArray, align_of(a));
}
void operator delete(void* p) noexcept { release(p, kScalar); }
void operator delete[](void* p) noexcept { release(p, kArray); }
void operator delete(void* p, std::size_t) noexcept { release(p, kScalar); }
void operator delete[](void* p, std::size_t) noexcept { release(p, kArray); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p, kScalar); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p, kArray); }
void operator delete(void* p, std::align_val_t) noexcept { release(p, kScalar); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p, kArray); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p, kScalar); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p, kArray); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  release(p, kScalar);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  release(p, kArray);
}
