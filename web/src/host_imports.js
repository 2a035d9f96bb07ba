// The functions a WebAssembly module of this build imports from its host (module "env"). The
// modules are standalone: the host (web/js/wasm_module.mjs) supplies these when it instantiates
// one; this file only tells emscripten's linker that they come from outside.
mergeInto(LibraryManager.library, {
  // The millisecond tick count each effect constructor seeds its random generator with.
  ape_host_tick_count: function() {
    throw new Error('the host supplies ape_host_tick_count');
  },
});
