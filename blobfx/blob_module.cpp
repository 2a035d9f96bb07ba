// What the blobfx module tells the host about itself: its names and the effect it creates.

#include "apefw/module.hpp"
#include "blobfx/blob_effect.hpp"

const apefw::ModuleIdentity apefw::kModuleIdentity = {
    blobfx::kShortName,
    blobfx::kLongDescription,
    &apefw::make_complete_effect<blobfx::BlobEffect>,
};
