// What the coilfx module tells the host about itself: its names and the effect it creates.

#include "apefw/module.hpp"
#include "coilfx/coil_effect.hpp"

const apefw::ModuleIdentity apefw::kModuleIdentity = {
    coilfx::kShortName,
    coilfx::kLongDescription,
    &apefw::make_complete_effect<coilfx::CoilEffect>,
};
