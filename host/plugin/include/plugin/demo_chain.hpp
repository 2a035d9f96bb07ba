#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// The built-in demo's stack: both effects over each other, each with a colour list of its own
// cycled on the beat, built the way the host's editor builds settings (through load_settings).

#include <string>
#include <vector>

#include "plugin/chain_plan.hpp"
#include "plugin/effect_chain.hpp"

namespace apehost {

// The plug-ins of the demo, found by name like any other, in drawing order.
std::vector<std::string> demo_plugins();

// Creates the demo's effects and gives them its colours and the on-beat change. A chain of other
// plug-ins (play PLUGIN ... with no settings) gets the same colours where it has the same places.
EffectChain create_demo_chain(const ChainPlan& plan);

}  // namespace apehost
