#pragma once
// The benchmark suites, registered by main in this order.

#include <string>

namespace apebench {

void register_effect_benchmarks();
void register_frame_floor_benchmarks();
// The drawing stage against a plain rasterizer and, where OSMesa is installed, llvmpipe.
void register_drawing_benchmarks();
// The iso-surface against its peer; without the peer library only our own side is registered.
void register_surface_benchmarks();
// Sets up the peer library for one thread before anything runs (nothing without it).
void prepare_surface_peer();

#ifdef APE_BENCH_HAVE_OSMESA
enum class Effect;
// One llvmpipe benchmark of the drawing peers, by name (llvmpipe_peer.cpp).
void register_llvmpipe_drawing(const std::string& name, Effect effect, int width, int height);
#endif

}  // namespace apebench
