// Master control: one tile per studio the server watches.
'use strict';

(() => {
  const studiosEl = document.getElementById('studios');
  const template = document.getElementById('tile');
  const clockEl = document.getElementById('clock');
  const syncEl = document.getElementById('sync');
  const linkEl = document.getElementById('link');
  const tiles = new Map();

  function makeTile(prefix) {
    const section = template.content.firstElementChild.cloneNode(true);
    section.dataset.prefix = prefix;
    const name = section.querySelector('[data-field=name]');
    name.textContent = prefix;
    // A prefix may hold '/' (site/studio1): each part is encoded on its own.
    name.href = '/studio/' + prefix.split('/').map(encodeURIComponent).join('/');
    section.setAttribute('aria-label', prefix);
    const tile = {
      section,
      status: section.querySelector('[data-field=status]'),
      micTime: section.querySelector('[data-field=mic-time]'),
      signals: {},
      canvases: [section.querySelector('[data-meters=pgm]'), section.querySelector('[data-meters=crm]')],
      bars: [new Meters.Bar(), new Meters.Bar(), new Meters.Bar(), new Meters.Bar()],
      view: null,
    };
    for (const el of section.querySelectorAll('[data-signal]'))
      tile.signals[el.dataset.signal] = el;
    return tile;
  }

  // The tiles follow the server's list of studios, in its order.
  function syncTiles() {
    const wanted = live.prefixes;
    for (const [prefix, tile] of tiles) {
      if (!wanted.includes(prefix)) {
        tile.section.remove();
        tiles.delete(prefix);
      }
    }
    for (const prefix of wanted) {
      if (!tiles.has(prefix))
        tiles.set(prefix, makeTile(prefix));
      studiosEl.appendChild(tiles.get(prefix).section);
    }
    if (wanted.length === 0 && live.linkUp)
      studiosEl.innerHTML = '<p class="empty">The server watches no studio.</p>';
    else
      for (const p of studiosEl.querySelectorAll('.empty'))
        p.remove();
  }

  function tileStatus(v) {
    if (!live.linkUp)
      return live.connects === 0 && live.failures === 0 ? 'nothing' : 'server-gone';
    if (!live.brokerUp)
      return 'broker-down';
    return v.status || 'nothing';
  }

  function renderTile(prefix) {
    const tile = tiles.get(prefix);
    if (!tile)
      return;
    const v = Korvane.view(live, prefix);
    tile.view = v;
    const status = tileStatus(v);
    tile.section.dataset.status = status;
    tile.status.dataset.status = status;
    Korvane.setText(tile.status, Korvane.statusText(v, live));
    Korvane.setFlag(tile.signals['on-air-1'], v.onAir1);
    Korvane.setFlag(tile.signals['on-air-2'], v.onAir2);
    Korvane.setFlag(tile.signals['mic-on'], v.micOn);
    Korvane.setFlag(tile.signals.silence, v.silence);
    Korvane.setFlag(tile.signals.phone, v.phone);
  }

  function renderAll() {
    if (live.linkUp)
      syncTiles();
    for (const prefix of tiles.keys())
      renderTile(prefix);
    let link = '';
    if (!live.linkUp)
      link = live.connects === 0 && live.failures === 0 ? 'Connecting to the server' : 'Connection to the server lost - reconnecting';
    else if (!live.brokerUp)
      link = 'Server has lost the studio broker';
    Korvane.setText(linkEl, link);
    linkEl.hidden = link === '';
    linkEl.dataset.link = !live.linkUp ? 'down' : live.brokerUp ? 'up' : 'broker-down';
  }

  function tickText() {
    const shown = live.connects > 0;
    const now = live.now();
    Korvane.setText(clockEl, shown ? Korvane.timeText(new Date(now)) : '--:--:--');
    syncEl.hidden = !(shown && !live.synced);
    for (const tile of tiles.values()) {
      const v = tile.view;
      const text = v && v.micOn && v.micSince !== null ? Korvane.micTimeText(now - v.micSince) : '';
      Korvane.setText(tile.micTime, text);
    }
  }

  let lastFrame = performance.now();
  function frame() {
    const t = performance.now();
    // A hidden tab gets no frames: its first one catches up in one step.
    const dt = t - lastFrame;
    lastFrame = t;
    for (const tile of tiles.values()) {
      for (let pair = 0; pair < 2; ++pair) {
        const {ctx, width, height} = Meters.fit(tile.canvases[pair]);
        ctx.clearRect(0, 0, width, height);
        const w = Math.min(22, (width - 12) / 2);
        const x0 = (width - 2 * w - 6) / 2;
        for (let side = 0; side < 2; ++side) {
          const bar = tile.bars[pair * 2 + side];
          bar.step(t, dt);
          Meters.drawBar(ctx, bar, x0 + side * (w + 6), 2, w, height - 4, null);
        }
      }
    }
    tickText();
    requestAnimationFrame(frame);
  }

  const live = new Korvane.Live((kind, prefix) => {
    if (kind === 'meters') {
      const tile = tiles.get(prefix);
      const v = tile && Korvane.view(live, prefix);
      if (v && v.levels) {
        const now = performance.now();
        for (let i = 0; i < 4; ++i)
          tile.bars[i].feed(v.levels[i], now);
      }
      return;
    }
    if (kind === 'time')
      return;
    if (prefix !== null && tiles.has(prefix))
      renderTile(prefix);
    else
      renderAll();
  });

  renderAll();
  requestAnimationFrame(frame);
  // For the browser tests: the page's live state and its tiles' meters.
  window.korvanePage = {live, tiles};
})();
