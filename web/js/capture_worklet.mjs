// Runs on the audio thread: hands captured sound (the microphone) to the analysis worker in blocks,
// through the port the page gives it, and does nothing else, so the audio never waits.

const BLOCK_FRAMES = 512;  // about 12 ms at 44.1 kHz: frames complete close to when they end

class CaptureProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.channelCount = options.processorOptions.channelCount;
    this.target = null;
    this.fill = 0;
    this.block = this.newBlock();
    this.port.onmessage = ({ data }) => {
      this.target = data.port;
    };
  }

  newBlock() {
    return Array.from({ length: this.channelCount }, () => new Float32Array(BLOCK_FRAMES));
  }

  process(inputs) {
    const input = inputs[0];
    if (!this.target || !input || input.length === 0) return true;
    const frames = input[0].length;
    for (let i = 0; i < frames;) {
      const n = Math.min(frames - i, BLOCK_FRAMES - this.fill);
      for (let c = 0; c < this.channelCount; ++c) {
        const source = input[Math.min(c, input.length - 1)];
        this.block[c].set(source.subarray(i, i + n), this.fill);
      }
      this.fill += n;
      i += n;
      if (this.fill === BLOCK_FRAMES) {
        this.target.postMessage({ channels: this.block }, this.block.map((b) => b.buffer));
        this.block = this.newBlock();
        this.fill = 0;
      }
    }
    return true;
  }
}

registerProcessor('ape-capture', CaptureProcessor);
