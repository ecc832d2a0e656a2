// The stream overlay: an ON AIR and a MIC ON badge, each only while lit.
// It never shows an error on air: a lost server or a silent studio simply
// takes the badges away; the reason is in the title and data-link.
'use strict';

(() => {
  const prefix = Korvane.pagePrefix();
  const badges = document.getElementById('badges');
  const onAir = document.getElementById('on-air');
  const micOn = document.getElementById('mic-on');

  // ?size= scales the badges: 1 is 32 px text, 2 twice that.
  const size = Number(new URLSearchParams(location.search).get('size'));
  if (Number.isFinite(size) && size > 0)
    badges.style.fontSize = Math.min(20, Math.max(0.1, size)) * 32 + 'px';

  function show(el, on) {
    Korvane.setFlag(el, on);
    el.hidden = !on;
  }

  function render() {
    const v = Korvane.view(live, prefix);
    show(onAir, v.onAir1 || v.onAir2);
    show(micOn, v.micOn);
    badges.dataset.link = !live.linkUp ? 'down' : live.brokerUp ? 'up' : 'broker-down';
    document.title = prefix + ' - ' + Korvane.statusText(v, live);
  }

  const live = new Korvane.Live((kind) => {
    if (kind !== 'meters' && kind !== 'time')
      render();
  });
  render();
  window.korvanePage = {live, prefix};
})();
