// Linked into each effect's WebAssembly module: what the hosting process provides to a Linux
// module, the WebAssembly host (the page, or Node) provides as an import. The platform layer asks
// ape_host_tick_count for the millisecond tick count that seeds each effect's random generator, and
// this one asks the host, so a host can fix the seed of a whole run (Node's --ticks) or pass its
// clock (the page).

#include <cstdint>

extern "C" {

__attribute__((import_module("env"), import_name("ape_host_tick_count"))) std::uint32_t
web_host_tick_count(void);

std::uint32_t ape_host_tick_count(void) { return web_host_tick_count(); }

}  // extern "C"
