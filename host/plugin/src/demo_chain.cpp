#include "plugin/demo_chain.hpp"

#include <cstdint>
#include <vector>

namespace apehost {
namespace {

// Drawn first: the blob, in warm colours.
const std::vector<std::uint32_t> kBlobDemoColours = {0xFF5A1F, 0xFFB000, 0xE0306A, 0xFF8040};
// Drawn over it: the coil, in cool colours that stand out against the blob.
const std::vector<std::uint32_t> kCoilDemoColours = {0x20C0FF, 0x60FFC0, 0x8060FF, 0x40A0FF};

}  // namespace

std::vector<std::string> demo_plugins() { return {"blobfx", "coilfx"}; }

EffectChain create_demo_chain(const ChainPlan& plan) {
  EffectChain chain = create_chain(plan);
  const std::vector<std::uint32_t>* lists[] = {&kBlobDemoColours, &kCoilDemoColours};
  for (std::size_t i = 0; i < chain.size() && i < 2; ++i) {
    if (i < plan.blobs.size() && plan.blobs[i]) continue;  // a blob given on the command line wins
    chain.set_colours(i, *lists[i]);
  }
  chain.set_on_beat(true);
  return chain;
}

}  // namespace apehost
