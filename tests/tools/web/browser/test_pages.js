// korvane-web's pages in headless chromium against a whole studio on this
// machine: two simulated mixers, two bridges, one broker, one korvane-web.
//   node test_pages.js --web PATH --sim PATH --mqtt PATH --broker PATH --out DIR
// Exits 0 when every check holds, 1 when one fails, 77 (skipped) when
// chromium cannot start here.
'use strict';

const path = require('path');
const {Rig, waitFor, sleep} = require('./studio_rig');

const SKIP = 77;

function parseArgs() {
  const o = {};
  const argv = process.argv.slice(2);
  for (let i = 0; i + 1 < argv.length; i += 2)
    o[argv[i].replace(/^--/, '')] = argv[i + 1];
  for (const k of ['web', 'sim', 'mqtt', 'broker', 'out'])
    if (!o[k])
      throw new Error('missing --' + k);
  return o;
}

// Records in the page every change of a signal's data-on and of the status
// texts, with the moment (Date.now(), the same clock as this process).
function recordChanges() {
  window.__changes = [];
  const note = (el) => window.__changes.push({
    t: Date.now(),
    prefix: (el.closest('[data-prefix]') || {dataset: {}}).dataset.prefix || null,
    signal: el.dataset.signal || el.dataset.field,
    on: el.dataset.on,
    text: el.textContent,
  });
  new MutationObserver((list) => {
    for (const m of list) {
      const el = m.target.nodeType === 1 ? m.target : m.target.parentElement;
      if (el && (el.dataset.signal || el.dataset.field === 'status'))
        note(el);
    }
  }).observe(document.body, {subtree: true, attributes: true, attributeFilter: ['data-on'], characterData: true, childList: true});
}

// Contrast of every visible text against the first opaque background behind it.
function lowContrast() {
  const rgb = (s) => (s.match(/[\d.]+/g) || []).map(Number);
  const lum = ([r, g, b]) => {
    const c = [r, g, b].map((v) => {
      v /= 255;
      return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
    });
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
  };
  const bad = [];
  for (const el of document.querySelectorAll('body *')) {
    const own = [...el.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim() !== '');
    if (!own || el.offsetParent === null && getComputedStyle(el).position !== 'fixed')
      continue;
    const style = getComputedStyle(el);
    if (style.visibility === 'hidden' || style.display === 'none')
      continue;
    let bg = null;
    for (let a = el; a; a = a.parentElement) {
      const s = getComputedStyle(a);
      const c = rgb(s.backgroundColor);
      if (s.backgroundImage.includes('gradient')) {
        // A gradient lamp: judge against its darker and lighter stops alike.
        const stops = (s.backgroundImage.match(/rgba?\([^)]*\)/g) || []).map(rgb);
        if (stops.length) {
          bg = stops;
          break;
        }
      }
      if (c.length >= 3 && (c.length === 3 || c[3] > 0.9)) {
        bg = [c];
        break;
      }
    }
    bg = bg || [[255, 255, 255]];
    const fg = lum(rgb(style.color));
    for (const b of bg) {
      const l = lum(b);
      const ratio = (Math.max(fg, l) + 0.05) / (Math.min(fg, l) + 0.05);
      if (ratio < 4.5)
        bad.push(el.textContent.trim().slice(0, 30) + ' ' + ratio.toFixed(2));
    }
  }
  return bad;
}

async function main() {
  let puppeteer;
  try {
    puppeteer = require('puppeteer-core');
  } catch (e) {
    console.error('puppeteer-core is not installed: ' + e.message);
    return 1;
  }
  const o = parseArgs();
  const rig = new Rig(o);
  const failures = [];
  const passed = [];
  const check = (name, ok, detail = '') => {
    (ok ? passed : failures).push(name + (detail ? ': ' + detail : ''));
    console.log((ok ? 'ok   ' : 'FAIL ') + name + (detail ? ' (' + detail + ')' : ''));
  };
  const consoleErrors = [];
  let webDown = null;  // [from, to] while korvane-web is deliberately stopped

  try {
    const launched = await rig.launchBrowser(puppeteer);
    if (!launched.browser) {
      console.log('SKIP: chromium cannot start here: ' + launched.error);
      return SKIP;
    }
    await rig.startBroker();
    const simA = await rig.startSim('sim-a');
    const simB = await rig.startSim('sim-b');
    rig.startBridge('bridge-a', 'korvane', simA.port);
    const bridgeB = rig.startBridge('bridge-b', 'studio2', simB.port);
    await rig.startWeb(['korvane', 'studio2']);

    const open = async (name, p, viewport) => {
      const page = await rig.browser.newPage();
      await page.setViewport(viewport || {width: 1280, height: 800});
      page.on('console', (m) => {
        if (m.type() !== 'error')
          return;
        const text = m.text();
        const t = Date.now();
        // A refused WebSocket while the server is away is the browser's own line.
        const expected = webDown && t >= webDown[0] && t <= (webDown[1] || Infinity) + 2000 &&
          /WebSocket connection to .*\/live.* failed|ERR_CONNECTION_REFUSED/.test(text);
        if (!expected)
          consoleErrors.push(name + ': ' + text);
      });
      page.on('pageerror', (e) => consoleErrors.push(name + ': ' + e.message));
      await page.goto(rig.url(p), {waitUntil: 'load'});
      await page.evaluate(recordChanges);
      await page.evaluate(() => {
        window.__loadMark = Math.random();
      });
      page.loadMark = await page.evaluate(() => window.__loadMark);
      return page;
    };
    const master = await open('master', '/', {width: 1040, height: 330});
    const face = await open('face', '/studio/korvane', {width: 986, height: 650});
    const overlay = await open('overlay', '/overlay/korvane?size=2', {width: 900, height: 200});
    const faceB = await open('face-b', '/studio/studio2', {width: 986, height: 650});
    const overlayB = await open('overlay-b', '/overlay/studio2');
    const shot = (page, name) => page.screenshot({path: path.join(o.out, name + '.png'), omitBackground: true});

    const tileStatus = (prefix) => master.evaluate((p) => {
      const el = document.querySelector(`[data-prefix="${p}"] [data-field=status]`);
      return el ? el.textContent : null;
    }, prefix);
    const flagOf = (page, selector) => page.evaluate((s) => {
      const el = document.querySelector(s);
      return el ? el.dataset.on === 'true' && !el.hidden : null;
    }, selector);

    // Master control lists both studios, online.
    await waitFor('both studios online', 15000, async () =>
      (await tileStatus('korvane')) === 'ONLINE' && (await tileStatus('studio2')) === 'ONLINE');
    const names = await master.$$eval('[data-prefix] [data-field=name]', (els) => els.map((e) => e.textContent));
    check('master control lists two studios', names.join(',') === 'korvane,studio2', names.join(','));
    check('on air 1 lit on the face while online', await waitFor('on air 1', 3000, () => flagOf(face, '[data-signal=on-air-1]')).catch(() => false));
    check('overlay shows ON AIR while online', await waitFor('overlay on air', 3000, () => flagOf(overlay, '#on-air')).catch(() => false));

    // Meters move: the bars' levels and the canvas pixels change.
    const meterSample = (page) => page.evaluate(() => {
      const c = document.getElementById('meters');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let sum = 0;
      for (let i = 0; i < d.length; i += 4)
        sum += d[i] * 3 + d[i + 1] * 7 + d[i + 2];
      return {levels: window.korvanePage.bars.map((b) => b.shown), pixels: sum};
    });
    // Only the page in front gets animation frames.
    await face.bringToFront();
    const samples = [];
    for (let i = 0; i < 8; ++i) {
      samples.push(await meterSample(face));
      await sleep(150);
    }
    const levelSet = new Set(samples.map((s) => s.levels[0].toFixed(1)));
    const pixelSet = new Set(samples.map((s) => s.pixels));
    check('face meters move', levelSet.size >= 3 && samples.some((s) => s.levels[0] > -45) && pixelSet.size >= 3,
      `${levelSet.size} levels, ${pixelSet.size} pictures`);
    await master.bringToFront();
    const tileLevels = new Set();
    for (let i = 0; i < 6; ++i) {
      tileLevels.add(await master.evaluate(() => window.korvanePage.tiles.get('korvane').bars[2].shown.toFixed(1)));
      await sleep(150);
    }
    check('master control meters move', tileLevels.size >= 3, `${tileLevels.size} levels`);

    const low = [...await master.evaluate(lowContrast), ...await face.evaluate(lowContrast)];
    check('text contrast at least 4.5:1', low.length === 0, low.join('; '));
    await shot(master, 'master');
    await shot(face, 'face');
    await shot(overlay, 'overlay');

    // The second studio's mixer stops: OFFLINE within 4 s, and no ON AIR left.
    const simStopped = Date.now();
    await rig.stop(simB);
    const offline = await waitFor('OFFLINE', 6000, async () =>
      (await tileStatus('studio2')) === 'OFFLINE' && (await faceB.$eval('#status', (e) => e.textContent)) === 'OFFLINE').catch(() => false);
    check('stopping the simulator shows OFFLINE within 4 s', offline && Date.now() - simStopped <= 4000, `${Date.now() - simStopped} ms`);
    check('no stale ON AIR on an offline studio',
      !(await flagOf(faceB, '[data-signal=on-air-1]')) && !(await flagOf(overlayB, '#on-air')) &&
      !(await master.evaluate(() => document.querySelector('[data-prefix=studio2] [data-signal=on-air-1]').dataset.on === 'true')));
    await shot(faceB, 'face-offline');

    // Its bridge stops too: BRIDGE DOWN.
    await rig.stop(bridgeB);
    const bridgeDown = await waitFor('BRIDGE DOWN', 5000, async () => (await tileStatus('studio2')) === 'BRIDGE DOWN').catch(() => false);
    check('stopping the bridge shows BRIDGE DOWN', !!bridgeDown, await tileStatus('studio2'));

    // korvane-web stops and comes back on the same port: the pages say so,
    // then are right again without a reload.
    webDown = [Date.now(), null];
    await rig.stop(rig.webChild);
    const gone = await waitFor('server gone', 5000, async () =>
      (await face.$eval('#status', (e) => e.textContent)) === 'SERVER GONE' &&
      (await master.$eval('#link', (e) => e.dataset.link)) === 'down').catch(() => false);
    check('the pages say within 3 s that the server is gone', gone && Date.now() - webDown[0] <= 3000, `${Date.now() - webDown[0]} ms`);
    check('no ON AIR while the server is gone', !(await flagOf(face, '[data-signal=on-air-1]')) && !(await flagOf(overlay, '#on-air')));
    await shot(face, 'face-server-gone');
    await sleep(1500);
    await rig.startWeb(['korvane', 'studio2']);
    webDown[1] = Date.now();
    const back = await waitFor('pages back', 10000, async () =>
      (await tileStatus('korvane')) === 'ONLINE' && (await tileStatus('studio2')) === 'BRIDGE DOWN' &&
      (await face.$eval('#status', (e) => e.textContent)) === 'ONLINE' && await flagOf(overlay, '#on-air')).catch(() => false);
    const marks = await Promise.all([master, face, overlay].map((p) => p.evaluate(() => window.__loadMark)));
    check('after korvane-web restarts the pages are right again without a reload',
      !!back && marks[0] === master.loadMark && marks[1] === face.loadMark && marks[2] === overlay.loadMark,
      `${Date.now() - webDown[1]} ms after the restart`);

    // A server that hangs without closing the connection (SIGSTOP): the
    // pages notice the silence, say so within 3 s, and come back after it.
    const frozen = Date.now();
    webDown = [frozen, null];
    rig.webChild.kill('SIGSTOP');
    const noticed = await waitFor('a hung server noticed', 5000, async () =>
      (await face.$eval('#status', (e) => e.textContent)) === 'SERVER GONE').catch(() => false);
    check('a hung server is noticed within 3 s', noticed && Date.now() - frozen <= 3000, `${Date.now() - frozen} ms`);
    rig.webChild.kill('SIGCONT');
    webDown[1] = Date.now();
    const thawed = await waitFor('pages back after the hang', 10000, async () =>
      (await face.$eval('#status', (e) => e.textContent)) === 'ONLINE' && await flagOf(face, '[data-signal=on-air-1]')).catch(() => false);
    check('after the hang the face is right again', !!thawed);

    // Switches in the simulator show within 1 s: the presenter's microphone
    // (4 s and every 45 s, for 18 s) and on air 2 (from 60 s).
    const edges = [
      {re: /presenter microphone \(module 0\) (opens|closes)/, signal: 'mic-on', on: (m) => m[1] === 'opens'},
      {re: /on air 2 (on|off)/, signal: 'on-air-2', on: (m) => m[1] === 'on'},
    ];
    const watchFrom = Date.now();
    const checked = new Set();
    await waitFor('the simulator to switch on air 2', 75000, async () => {
      for (const {t, line} of simA.lines) {
        if (t < watchFrom)
          continue;
        for (const e of edges) {
          const m = e.re.exec(line);
          if (!m || checked.has(t + e.signal))
            continue;
          if (Date.now() - t < 1200)
            return false;  // give the pages their second first
          checked.add(t + e.signal);
          const want = e.on(m) ? 'true' : 'false';
          const targets = [[face, e.signal, null], [master, e.signal, 'korvane']];
          if (e.signal === 'mic-on' || want === 'true')
            targets.push([overlay, e.signal === 'mic-on' ? 'mic-on' : 'on-air', null]);
          for (const [page, signal, prefix] of targets) {
            const changes = await page.evaluate(() => window.__changes);
            // `t` is when this test read the simulator's line, which a busy
            // machine can make later than the page's change itself; the
            // switches are 18 s or more apart, so a second back is still this one.
            const hit = changes.find((c) => c.t >= t - 1000 && c.signal === signal && c.on === want && (prefix === null || c.prefix === prefix));
            // The overlay's ON AIR stands for either on-air signal: lit already is right.
            const already = page === overlay && signal === 'on-air' && await flagOf(overlay, '#on-air');
            const ms = hit ? Math.max(0, hit.t - t) : Infinity;
            check(`${line.trim().replace(/^[\d.]+\s+/, '')}: ${signal} ${want} within 1 s (${page === face ? 'face' : page === master ? 'master' : 'overlay'})`,
              ms <= 1000 || already, hit ? ms + ' ms' : already ? 'already lit' : 'never');
          }
        }
      }
      return [...checked].some((k) => k.endsWith('on-air-2'));
    }, 200);
    await shot(face, 'face-on-air-2');

    // The broker goes away: the pages say so and show no ON AIR.
    const brokerGone = Date.now();
    await rig.stop(rig.brokerChild);
    const said = await waitFor('BROKER DOWN', 5000, async () =>
      (await face.$eval('#status', (e) => e.textContent)) === 'BROKER DOWN' &&
      (await tileStatus('korvane')) === 'BROKER DOWN').catch(() => false);
    check('a lost broker is shown within 3 s', said && Date.now() - brokerGone <= 3000, `${Date.now() - brokerGone} ms`);
    check('no ON AIR while the broker is gone', !(await flagOf(face, '[data-signal=on-air-1]')) && !(await flagOf(overlay, '#on-air')));

    check('no errors in the browser console', consoleErrors.length === 0, consoleErrors.join(' | '));
  } catch (e) {
    check('the test ran to its end', false, e.stack || e.message);
  } finally {
    await rig.close();
  }
  console.log(`${passed.length} checks passed, ${failures.length} failed; screenshots and logs in ${o.out}`);
  return failures.length ? 1 : 0;
}

main().then((code) => process.exit(code), (e) => {
  console.error(e);
  process.exit(1);
});
