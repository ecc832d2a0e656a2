// The face of one studio: the display's picture, scaled to the window.
'use strict';

(() => {
  const DESIGN_W = 986;
  const DESIGN_H = 650;
  // Where the bars lie on the meter canvas (which covers the meter panel).
  const BAR_TOP = 24;
  const BAR_HEIGHT = 416;
  const BAR_WIDTH = 12;
  const BAR_X = [20, 109, 176, 265];
  const SCALE_X = [70, 226];
  const SCALE_DB = [5, 0, -5, -10, -20, -30, -40, -50];
  const VOICE_TRACK_BLINK_MS = 500;

  const prefix = Korvane.pagePrefix();
  const face = document.getElementById('face');
  const statusEl = document.getElementById('status');
  const linkEl = document.getElementById('link');
  const timeEl = document.getElementById('time');
  const dateEl = document.getElementById('date');
  const micEl = document.getElementById('mic-time');
  const syncEl = document.getElementById('sync');
  const versionEl = document.getElementById('version');
  const meterCanvas = document.getElementById('meters');
  const clockCanvas = document.getElementById('clock');
  const signalEls = {};
  for (const el of document.querySelectorAll('#signals [data-signal]'))
    signalEls[el.dataset.signal] = el;

  document.getElementById('studio-name').textContent = prefix;
  document.title = prefix + ' - Tavelin Meters';

  // The dB scale beside each pair of bars, as text.
  const scales = document.getElementById('scales');
  for (const x of SCALE_X) {
    for (const db of SCALE_DB) {
      const label = document.createElement('div');
      label.className = 'abs scale' + (db > 0 ? ' over' : '');
      label.style.left = 34 + x + 'px';
      label.style.top = 48 + BAR_TOP + BAR_HEIGHT * (1 - Meters.fraction(db)) + 'px';
      label.textContent = db > 0 ? '+' + db : String(db);
      scales.appendChild(label);
    }
  }

  // The six module lamps, their number and source as text.
  const lampsEl = document.getElementById('lamps');
  const lamps = [];
  for (let i = 0; i < 6; ++i) {
    const lamp = document.createElement('div');
    lamp.className = 'abs lamp';
    lamp.dataset.module = String(i + 1);
    lamp.dataset.colour = '0';
    lamp.style.left = 54 + i * 164 + 'px';
    lamp.style.top = 549 + 'px';
    const number = document.createElement('span');
    number.className = 'number';
    number.textContent = String(i + 1);
    const source = document.createElement('span');
    source.className = 'source';
    source.dataset.field = 'source';
    lamp.append(number, source);
    lampsEl.appendChild(lamp);
    lamps.push({lamp, source});
  }

  const bars = [new Meters.Bar(), new Meters.Bar(), new Meters.Bar(), new Meters.Bar()];
  let current = null;

  function fitWindow() {
    const scale = Math.min(window.innerWidth / DESIGN_W, window.innerHeight / DESIGN_H);
    const left = (window.innerWidth - DESIGN_W * scale) / 2;
    const top = (window.innerHeight - DESIGN_H * scale) / 2;
    face.style.transform = 'translate(' + left + 'px,' + top + 'px) scale(' + scale + ')';
  }

  function pageStatus(v) {
    if (!live.linkUp)
      return live.connects === 0 && live.failures === 0 ? 'nothing' : 'server-gone';
    if (!live.brokerUp)
      return 'broker-down';
    return v.status || 'nothing';
  }

  function render() {
    const v = Korvane.view(live, prefix);
    current = v;
    const status = pageStatus(v);
    face.dataset.status = status;
    statusEl.dataset.status = status;
    Korvane.setText(statusEl, Korvane.statusText(v, live));

    let link = '';
    if (!live.linkUp && (live.connects > 0 || live.failures > 0))
      link = 'Connection to the server lost - reconnecting';
    else if (live.linkUp && !live.brokerUp)
      link = 'Server has lost the studio broker';
    Korvane.setText(linkEl, link);
    linkEl.hidden = link === '';
    linkEl.dataset.link = !live.linkUp ? 'down' : live.brokerUp ? 'up' : 'broker-down';

    Korvane.setFlag(signalEls['on-air-1'], v.onAir1);
    Korvane.setFlag(signalEls['on-air-2'], v.onAir2);
    Korvane.setFlag(signalEls['mic-on'], v.micOn);
    Korvane.setFlag(signalEls.silence, v.silence);
    Korvane.setFlag(signalEls.phone, v.phone);
    Korvane.setFlag(signalEls['non-stop'], v.nonStop);
    Korvane.setFlag(signalEls['crm-mute'], v.crmMute);

    for (let i = 0; i < 6; ++i)
      Korvane.setText(lamps[i].source, v.modules[i].source);
    if (live.version)
      Korvane.setText(versionEl, 'korvane-web ' + live.version);
  }

  function tickText() {
    const now = live.now();
    const shown = live.connects > 0;
    const d = new Date(now);
    Korvane.setText(timeEl, shown ? Korvane.timeText(d) : '--:--:--');
    Korvane.setText(dateEl, shown ? Korvane.dateText(d) : '');
    syncEl.hidden = !(shown && !live.synced);
    const v = current;
    const micShown = !!v && v.micOn && v.micSince !== null;
    micEl.hidden = !micShown;
    if (micShown)
      Korvane.setText(micEl, Korvane.micTimeText(now - v.micSince));
    // Voice-track modules blink between their lit and unlit colour.
    const phase = Math.floor(performance.now() / VOICE_TRACK_BLINK_MS) % 2 === 1;
    for (let i = 0; i < 6; ++i) {
      const m = v ? v.modules[i] : null;
      let colour = m ? m.colour : 0;
      if (m && m.blinks && (!m.on || phase))
        colour = m.inactiveColour;
      const value = String(colour);
      if (lamps[i].lamp.dataset.colour !== value)
        lamps[i].lamp.dataset.colour = value;
    }
  }

  function drawMeters(now, dt) {
    const {ctx, width, height} = Meters.fit(meterCanvas);
    ctx.clearRect(0, 0, width, height);
    const marker = current && current.silenceMarker;
    for (let i = 0; i < 4; ++i) {
      bars[i].step(now, dt);
      let m = null;
      if (marker && i === 0 && marker.left)
        m = marker.db;
      if (marker && i === 1 && marker.right)
        m = marker.db;
      Meters.drawBar(ctx, bars[i], BAR_X[i], BAR_TOP, BAR_WIDTH, BAR_HEIGHT, m);
    }
    // Scale ticks on both sides of each label column.
    ctx.fillStyle = '#8f9aa6';
    for (const x of SCALE_X) {
      for (const db of SCALE_DB) {
        const y = BAR_TOP + BAR_HEIGHT * (1 - Meters.fraction(db));
        ctx.fillRect(x - 18, y - 1, 6, 2);
        ctx.fillRect(x + 56, y - 1, 6, 2);
      }
    }
  }

  let lastFrame = performance.now();
  function frame() {
    const t = performance.now();
    // A hidden tab gets no frames: its first one catches up in one step.
    const dt = t - lastFrame;
    lastFrame = t;
    drawMeters(t, dt);
    const c = Meters.fit(clockCanvas);
    AnalogClock.draw(c.ctx, 0, 0, Math.min(c.width, c.height), new Date(live.now()), live.connects > 0);
    tickText();
    requestAnimationFrame(frame);
  }

  const live = new Korvane.Live((kind, which) => {
    if (kind === 'meters' && which === prefix) {
      const v = Korvane.view(live, prefix);
      if (v.levels) {
        const now = performance.now();
        for (let i = 0; i < 4; ++i)
          bars[i].feed(v.levels[i], now);
      }
      return;
    }
    if (kind === 'time')
      return;
    render();
  });

  window.addEventListener('resize', fitWindow);
  fitWindow();
  render();
  requestAnimationFrame(frame);
  // For the browser tests: the page's live state and its meters.
  window.korvanePage = {live, bars, prefix};
})();
