// Instantiates the standalone WebAssembly modules of this build (the effects, the analysis) in a
// page, a worker, an audio worklet or Node: the imports each may ask for, and views of its memory.

// Thrown when a module ends itself (an allocation it cannot survive, a failed check).
export class WasmExit extends Error {
  constructor(code) {
    super(`the WebAssembly module stopped with status ${code}`);
    this.code = code;
  }
}

// source: the module's bytes (ArrayBuffer or typed array) or a compiled WebAssembly.Module.
// tickCount: the millisecond tick count an effect constructor seeds its generator with.
export async function instantiate(source, { tickCount = () => 0, log = console.warn } = {}) {
  const module = source instanceof WebAssembly.Module ? source : await WebAssembly.compile(source);
  let memory = null;
  const text = new TextDecoder();
  const env = {
    ape_host_tick_count: () => tickCount() >>> 0,
    emscripten_notify_memory_growth: () => {},
  };
  // The few system calls the C library makes: messages to stderr (aubio's) go to log.
  const wasi = {
    proc_exit: (code) => {
      throw new WasmExit(code);
    },
    fd_write: (fd, iovs, count, writtenPtr) => {
      const view = new DataView(memory.buffer);
      let written = 0;
      let message = '';
      for (let i = 0; i < count; ++i) {
        const ptr = view.getUint32(iovs + 8 * i, true);
        const len = view.getUint32(iovs + 8 * i + 4, true);
        message += text.decode(new Uint8Array(memory.buffer, ptr, len));
        written += len;
      }
      if (message.trim()) log(message.trimEnd());
      view.setUint32(writtenPtr, written, true);
      return 0;
    },
    fd_close: () => 0,
    fd_seek: () => 70,  // ESPIPE: nothing here is seekable
  };
  const instance = await WebAssembly.instantiate(module, { env, wasi_snapshot_preview1: wasi });
  memory = instance.exports.memory;
  instance.exports._initialize();
  return new WasmModule(instance);
}

// A module's exports with views of its memory. The memory may grow during any call, which
// replaces its buffer: take views after calls, never keep them across one.
export class WasmModule {
  constructor(instance) {
    this.instance = instance;
    this.exports = instance.exports;
    this.table = instance.exports.__indirect_function_table;
  }

  get buffer() {
    return this.exports.memory.buffer;
  }
  u8(ptr, length) {
    return new Uint8Array(this.buffer, ptr, length);
  }
  u32(ptr, length) {
    return new Uint32Array(this.buffer, ptr, length);
  }
  f32(ptr, length) {
    return new Float32Array(this.buffer, ptr, length);
  }
  word(ptr) {
    return new DataView(this.buffer).getUint32(ptr, true);
  }
  // A zero-terminated string at ptr (at most limit bytes).
  string(ptr, limit = 4096) {
    const bytes = this.u8(ptr, Math.min(limit, this.buffer.byteLength - ptr));
    const end = bytes.indexOf(0);
    return new TextDecoder().decode(bytes.subarray(0, end < 0 ? bytes.length : end));
  }
  malloc(bytes) {
    const ptr = this.exports.malloc(bytes);
    if (!ptr) throw new Error('out of memory in a WebAssembly module');
    return ptr;
  }
  free(ptr) {
    this.exports.free(ptr);
  }
  // The function a C function pointer stands for.
  function(pointer) {
    const fn = this.table.get(pointer);
    if (!fn) throw new Error(`null function pointer ${pointer}`);
    return fn;
  }
}
