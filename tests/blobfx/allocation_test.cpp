// The creator when memory runs out: every allocation of an effect in turn fails, and each time the
// host gets nothing and nothing is left allocated. This executable replaces the global allocation
// functions (failing_allocator), so it runs on its own.

#include <gtest/gtest.h>

#include "apefw/ape_abi.h"
#include "apefw/module.hpp"
#include "failing_allocator.hpp"

namespace {

TEST(BlobCreator, AnAllocationFailureHandsOutNothingAndLeaksNothing) {
  // The module's own identity (blob_module.cpp is compiled into this executable).
  const apefw::ModuleIdentity& identity = apefw::kModuleIdentity;
  // The effect, its vertices, faces, edge cache and ball field, and the host's wrapper: each
  // allocation in turn fails, until none is left to fail.
  int failures = 0;
  for (int n = 1; n < 20; ++n) {
    const long before = failing_allocator::counts().live;
    failing_allocator::fail_allocation(n, failing_allocator::Among::nothrow);
    ApeEffect* object = apefw::create_effect(identity, nullptr);
    const bool failed = failing_allocator::failure_happened();
    failing_allocator::fail_allocation(0);
    if (!failed) {
      ASSERT_NE(object, nullptr);
      object->vtable->destroy(object, APE_DESTROY_AND_FREE);
      EXPECT_EQ(failing_allocator::counts().live, before);
      break;
    }
    ++failures;
    EXPECT_EQ(object, nullptr) << "allocation " << n;
    EXPECT_EQ(failing_allocator::counts().live, before) << "allocation " << n;
  }
  EXPECT_EQ(failures, 6);
}

}  // namespace
