#pragma once
// The fuzz cases' host calls, made in-process: each effect is created the way its module's creator
// creates it (complete, wrapped in the host's table) and every call goes through that C table.

#include "effect_cases.h"

namespace fuzzing {

// Effect 0 is Coilform, effect 1 Blobform.
const FuzzHost& in_process_host() noexcept;

}  // namespace fuzzing
