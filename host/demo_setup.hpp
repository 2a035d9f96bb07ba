#pragma once
// The built-in demo's stack: both effects over each other, each with a colour list of its own
// cycled on the beat, built the way the host's editor builds settings (through load_settings).

#include "command_options.hpp"
#include "effect_chain.hpp"

namespace apehost {

// The plug-ins of the demo, found by name like any PLUGIN argument, in drawing order.
ChainPlan demo_chain_plan(const ChainOptions& options);

// Creates the demo's effects and gives them its colours and the on-beat change. A chain of other
// plug-ins (play PLUGIN ... with no settings) gets the same colours where it has the same places.
EffectChain create_demo_chain(const ChainPlan& plan);

}  // namespace apehost
