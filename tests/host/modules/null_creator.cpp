// A module whose creator never hands out an effect, as one does when it cannot get its buffers.

#include "apefw/module.hpp"

namespace {

std::unique_ptr<apefw::EffectBase> make_nothing() noexcept { return nullptr; }

}  // namespace

const apefw::ModuleIdentity apefw::kModuleIdentity = {"Nothing", "Render / Nothing", &make_nothing};
