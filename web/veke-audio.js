// The page's sound output: plays what the page hands it (interleaved stereo, 44 100 Hz) and
// asks for more before it runs dry. It cannot call the player itself, which lives on the
// page's own thread, so it asks by message and counts what it played for the page.
'use strict';

// Asks when less than this is left (93 ms), for enough to have this much (186 ms): enough to
// carry over a slow frame of the page, short enough for a button's sound to come in time.
const kLow = 4096;
const kFull = 8192;

class VekeSound extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];
    this.offset = 0;  // in samples of queue[0]
    this.buffered = 0;  // stereo frames waiting, with those asked for
    this.played = 0;
    this.underruns = 0;
    this.port.onmessage = (event) => this.queue.push(event.data);
  }

  process(inputs, outputs) {
    const [left, right] = outputs[0];
    let i = 0;
    while (i < left.length && this.queue.length) {
      const chunk = this.queue[0];
      for (; i < left.length && this.offset < chunk.length; ++i, this.offset += 2) {
        left[i] = chunk[this.offset];
        if (right) right[i] = chunk[this.offset + 1];
      }
      if (this.offset >= chunk.length) {
        this.queue.shift();
        this.offset = 0;
      }
    }
    this.played += i;
    this.buffered -= i;
    if (i < left.length) {
      ++this.underruns;
      for (; i < left.length; ++i) {
        left[i] = 0;
        if (right) right[i] = 0;
      }
    }
    if (this.buffered < kLow) {
      const want = kFull - this.buffered;
      this.buffered += want;
      this.port.postMessage({ want, played: this.played, underruns: this.underruns });
    }
    return true;
  }
}

registerProcessor('veke-sound', VekeSound);
