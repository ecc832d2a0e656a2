// The analog studio clock on a canvas, in the display's look: green minute
// and hour ticks, a white dot for every second passed this minute, a blue
// minute pointer and a red hour pointer near the rim.
'use strict';

const AnalogClock = (() => {
  // Unit circle of radius 1; angles in turns from 12 o'clock, clockwise.
  function polar(cx, cy, r, turns) {
    const a = turns * 2 * Math.PI;
    return [cx + r * Math.sin(a), cy - r * Math.cos(a)];
  }

  function pointer(ctx, cx, cy, R, turns, tip, base, width, colour) {
    const a = turns * 2 * Math.PI;
    const ux = Math.sin(a);
    const uy = -Math.cos(a);
    const half = (width * R) / 2;
    ctx.fillStyle = colour;
    ctx.beginPath();
    ctx.moveTo(cx + ux * tip * R, cy + uy * tip * R);
    ctx.lineTo(cx + ux * base * R - uy * half, cy + uy * base * R + ux * half);
    ctx.lineTo(cx + ux * base * R + uy * half, cy + uy * base * R - ux * half);
    ctx.closePath();
    ctx.fill();
  }

  // Draws the face for the local-time Date `d` into a square of side `size`
  // at x, y. `valid` false draws the dial without pointers or dots: no time
  // is better than a wrong one.
  function draw(ctx, x, y, size, d, valid) {
    const R = size / 2;
    const cx = x + R;
    const cy = y + R;
    ctx.clearRect(x, y, size, size);

    const face = ctx.createRadialGradient(cx, cy, R * 0.1, cx, cy, R);
    face.addColorStop(0, '#101318');
    face.addColorStop(1, '#07090c');
    ctx.fillStyle = face;
    ctx.beginPath();
    ctx.arc(cx, cy, R * 0.995, 0, 2 * Math.PI);
    ctx.fill();
    ctx.strokeStyle = '#2a3038';
    ctx.lineWidth = Math.max(1, R * 0.01);
    ctx.stroke();

    const second = valid ? d.getSeconds() : -1;
    ctx.lineCap = 'butt';
    for (let i = 0; i < 60; ++i) {
      const hour = i % 5 === 0;
      const inner = hour ? 0.78 : 0.84;
      const outer = 0.88;
      const [x0, y0] = polar(cx, cy, R * inner, i / 60);
      const [x1, y1] = polar(cx, cy, R * outer, i / 60);
      ctx.strokeStyle = '#1ed21e';
      ctx.lineWidth = R * (hour ? 0.022 : 0.01);
      ctx.beginPath();
      ctx.moveTo(x0, y0);
      ctx.lineTo(x1, y1);
      ctx.stroke();
      if (i <= second) {
        const [dx, dy] = polar(cx, cy, R * 0.94, i / 60);
        ctx.fillStyle = '#ffffff';
        ctx.beginPath();
        ctx.arc(dx, dy, R * 0.022, 0, 2 * Math.PI);
        ctx.fill();
      }
    }
    if (!valid)
      return;
    const minutes = d.getMinutes() + d.getSeconds() / 60;
    const hours = (d.getHours() % 12) + minutes / 60;
    pointer(ctx, cx, cy, R, minutes / 60, 0.9, 0.62, 0.09, '#1838e8');
    pointer(ctx, cx, cy, R, hours / 12, 0.68, 0.55, 0.11, '#d01818');
  }

  return {draw};
})();
