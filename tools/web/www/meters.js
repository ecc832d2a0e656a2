// PPM bars on a canvas, on the display's scale: -50 to +5 dB on the DIN
// curve, rising at once, falling at 13.3 dB a second, with a peak hold.
'use strict';

const Meters = (() => {
  const MIN_DB = -50;
  const MAX_DB = 5;
  const DIN_BASE = Math.pow(10, MIN_DB / 80);
  const DIN_SPAN = Math.pow(10, MAX_DB / 80) - DIN_BASE;
  // The display sinks 0.133 dB every 10 ms.
  const RELEASE_DB_PER_S = 13.3;
  const PEAK_HOLD_MS = 1500;
  const PEAK_FALL_DB_PER_S = 20;
  // A meter fed nothing for this long falls back as if the level were gone.
  const STALE_MS = 1000;

  // Fraction of the bar's height for a level, 0 at -50 dB, 1 at +5 dB.
  function fraction(db) {
    if (!Number.isFinite(db))
      return 0;
    const level = Math.min(MAX_DB, Math.max(MIN_DB, db));
    return (Math.pow(10, level / 80) - DIN_BASE) / DIN_SPAN;
  }

  class Bar {
    constructor() {
      this.target = MIN_DB;
      this.shown = MIN_DB;
      this.peak = MIN_DB;
      this.peakAt = 0;
      this.fedAt = 0;
    }

    feed(db, now) {
      this.target = Number.isFinite(db) ? Math.min(MAX_DB, Math.max(MIN_DB, db)) : MIN_DB;
      this.fedAt = now;
    }

    // Moves the bar and its peak on to time `now` (ms).
    step(now, dt) {
      const target = now - this.fedAt > STALE_MS ? MIN_DB : this.target;
      if (target >= this.shown)
        this.shown = target;
      else
        this.shown = Math.max(target, this.shown - RELEASE_DB_PER_S * dt / 1000);
      if (this.shown >= this.peak) {
        this.peak = this.shown;
        this.peakAt = now;
      } else if (now - this.peakAt > PEAK_HOLD_MS) {
        this.peak = Math.max(this.shown, this.peak - PEAK_FALL_DB_PER_S * dt / 1000);
      }
    }
  }

  // Sizes a canvas's pixels to what it covers on screen (a scaled face
  // included), for sharp lines at any size; returns the context drawing in
  // the canvas's own layout units.
  function fit(canvas) {
    const ratio = window.devicePixelRatio || 1;
    const rect = canvas.getBoundingClientRect();
    const width = Math.max(1, canvas.clientWidth);
    const height = Math.max(1, canvas.clientHeight);
    const w = Math.max(1, Math.round(rect.width * ratio));
    const h = Math.max(1, Math.round(rect.height * ratio));
    if (canvas.width !== w || canvas.height !== h) {
      canvas.width = w;
      canvas.height = h;
    }
    const ctx = canvas.getContext('2d');
    ctx.setTransform(w / width, 0, 0, h / height, 0, 0);
    return {ctx, width, height};
  }

  // One bar in the rectangle x, y, w, h: dark green and red background, the
  // bar green up to 0 dB and red above, the peak as a bright line, and an
  // optional red marker (the silence threshold).
  function drawBar(ctx, bar, x, y, w, h, marker) {
    const zero = fraction(0) * h;
    ctx.fillStyle = '#0a3a0a';
    ctx.fillRect(x, y + h - zero, w, zero);
    ctx.fillStyle = '#3a0a0a';
    ctx.fillRect(x, y, w, h - zero);
    const b = fraction(bar.shown) * h;
    if (b > 0) {
      ctx.fillStyle = '#1fe01f';
      ctx.fillRect(x, y + h - Math.min(b, zero), w, Math.min(b, zero));
      if (b > zero) {
        ctx.fillStyle = '#ff2a2a';
        ctx.fillRect(x, y + h - b, w, b - zero);
      }
    }
    if (bar.peak > MIN_DB) {
      const p = fraction(bar.peak) * h;
      ctx.fillStyle = bar.peak > 0 ? '#ff8080' : '#c8ffc8';
      ctx.fillRect(x, y + h - p - 1, w, 2);
    }
    if (marker !== null && marker !== undefined) {
      const m = fraction(marker) * h;
      ctx.fillStyle = '#ff3030';
      ctx.fillRect(x - 2, y + h - m - 1.5, w + 4, 3);
    }
  }

  return {MIN_DB, MAX_DB, fraction, Bar, fit, drawBar};
})();
