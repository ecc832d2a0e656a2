// From a module event leaving korvane-sim to the module's lamp changing in
// the DOM of a studio face in headless chromium, through korvane-mqtt,
// mosquitto and korvane-web.
//   node latency.js BUILD_DIR [SWITCHES=200] [OUT_DIR]
// Needs `npm ci` in this folder first.
'use strict';

const os = require('os');
const path = require('path');
const fs = require('fs');
const puppeteer = require('puppeteer-core');
const {Rig, waitFor, sleep} = require('../../tests/tools/web/browser/studio_rig');
const {Switcher, MODULE, summary} = require('./switcher');

async function main() {
  const build = path.resolve(process.argv[2] || 'build');
  const switches = Number(process.argv[3] || 200);
  const out = process.argv[4] || fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-web-latency-'));
  const rig = new Rig({
    web: path.join(build, 'tools/web/korvane-web'),
    sim: path.join(build, 'tools/sim/korvane-sim'),
    mqtt: path.join(build, 'tools/mqtt/korvane-mqtt'),
    broker: '/usr/sbin/mosquitto',
    out,
  });
  try {
    const {browser, error} = await rig.launchBrowser(puppeteer);
    if (!browser)
      throw new Error('chromium cannot start: ' + error);
    await rig.startBroker();
    const sim = await rig.startSim('sim');
    rig.startBridge('bridge', 'korvane', sim.port);
    await rig.startWeb(['korvane']);
    const switcher = new Switcher(sim.port);
    await switcher.start();

    const page = await browser.newPage();
    await page.setViewport({width: 986, height: 650});
    await page.goto(rig.url('/studio/korvane'), {waitUntil: 'load'});
    await waitFor('the face online', 15000, () => page.$eval('#status', (e) => e.textContent === 'ONLINE'));
    await page.evaluate((module) => {
      window.__lamp = [];
      const lamp = document.querySelector(`[data-module="${module + 1}"]`);
      new MutationObserver(() => window.__lamp.push({t: Date.now(), colour: lamp.dataset.colour}))
        .observe(lamp, {attributes: true, attributeFilter: ['data-colour']});
    }, MODULE);

    for (let i = 0; i < switches; ++i) {
      switcher.toggle();
      await sleep(250 + Math.random() * 100);
    }
    await sleep(1000);
    const changes = await page.evaluate(() => window.__lamp);
    // Replies to the bridge's state requests repeat the state: only switches count.
    const events = switcher.events.filter((e, i, all) => e.on !== (i > 0 ? all[i - 1].on : false));
    const latencies = [];
    let missed = 0;
    for (let i = 0; i < events.length; ++i) {
      const e = events[i];
      // The next event to the same state ends the window for this one.
      const again = events[i + 2];
      const hit = changes.find((c) => c.t >= e.t && (c.colour !== '0') === e.on && (!again || c.t < again.t));
      if (hit)
        latencies.push(hit.t - e.t);
      else
        ++missed;
    }
    const s = summary(latencies);
    console.log(`switches ${events.length}, seen ${s.n}, missed ${missed}`);
    console.log(`sim -> DOM latency ms: median ${s.median}, p99 ${s.p99}, max ${s.max}`);
    switcher.close();
  } finally {
    await rig.close();
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
