#pragma once
// The benchmark suites, registered by main in this order.

namespace apebench {

void register_effect_benchmarks();
void register_frame_floor_benchmarks();
// The iso-surface against its peer; without the peer library only our own side is registered.
void register_surface_benchmarks();
// Sets up the peer library for one thread before anything runs (nothing without it).
void prepare_surface_peer();

}  // namespace apebench
