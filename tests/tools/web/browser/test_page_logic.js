// The pages' logic without a browser: what a studio's state lets them show,
// the meter scale and the mic-on time's format.
//   node test_page_logic.js
'use strict';

const assert = require('assert');
const fs = require('fs');
const path = require('path');
const vm = require('vm');

const www = path.join(__dirname, '../../../../tools/web/www');
// A browser's globals, enough for the live channel: sockets that fail at
// once, and timers that are only noted.
const sockets = [];
const timers = [];
const context = vm.createContext({
  location: {protocol: 'http:', host: '127.0.0.1:8080', pathname: '/studio/korvane'},
  WebSocket: class {
    constructor(url) {
      this.url = url;
      sockets.push(this);
    }
    close() {}
  },
  setTimeout: (fn, ms) => timers.push({fn, ms}),
  setInterval: () => 0,
  Date,
});
// Each file declares one top-level name, as the pages' script tags share them.
for (const [file, name] of [['live.js', 'Korvane'], ['meters.js', 'Meters']])
  vm.runInContext(fs.readFileSync(path.join(www, file), 'utf8') + `\nthis.${name} = ${name};`, context);
const {Korvane, Meters} = context;

let failed = 0;
function test(name, body) {
  try {
    body();
    console.log('ok   ' + name);
  } catch (e) {
    ++failed;
    console.log('FAIL ' + name + ': ' + e.message);
  }
}

const lit = (name, values) => ({time: '', kind: 'event', name, values});
function live(status, {linkUp = true, brokerUp = true, prefixes = ['korvane']} = {}) {
  return {
    prefixes,
    linkUp,
    brokerUp,
    connects: 1,
    failures: 0,
    studios: {
      korvane: {
        status,
        bridge: null,
        meters: {levels_db: [-10, -11, -30, -30, -12, -13]},
        mic_on_since_ms: 1000,
        state: {
          'on-air': lit('on-air', [1, 1]),
          'mic-on': lit('mic-on', [1]),
          'silence': lit('silence', [1]),
          'phone': lit('phone', [1]),
          'module-on': lit('module-on', [1, 0, 0, 0, 0, 0, 0, 0]),
          'fader': lit('fader', [1, 0, 0, 0, 0, 0, 0, 0]),
          'config-on': {modules: Array(8).fill({active: 2, active_and_fader: 1, inactive: 0})},
        },
      },
    },
  };
}

test('signals, lamps and meters only while the studio is online and the picture current', () => {
  const cases = [
    ['online', {}, true, 'ONLINE'],
    ['offline', {}, false, 'OFFLINE'],
    ['bridge-down', {}, false, 'BRIDGE DOWN'],
    [null, {}, false, 'NOTHING HEARD'],
    ['online', {linkUp: false}, false, 'SERVER GONE'],
    ['online', {brokerUp: false}, false, 'BROKER DOWN'],
    ['online', {prefixes: ['other']}, true, 'UNKNOWN STUDIO'],
  ];
  for (const [status, link, shown, text] of cases) {
    const l = live(status, link);
    const v = Korvane.view(l, 'korvane');
    const what = `${status} ${JSON.stringify(link)}`;
    for (const key of ['onAir1', 'onAir2', 'micOn', 'silence', 'phone'])
      assert.strictEqual(v[key], shown, `${key} for ${what}`);
    assert.strictEqual(v.levels !== null, shown, 'meters for ' + what);
    assert.strictEqual(v.modules[0].colour, shown ? 1 : 0, 'lamp for ' + what);
    assert.strictEqual(Korvane.statusText(v, l), text);
  }
});

test('a studio nobody has heard of shows nothing lit', () => {
  const v = Korvane.view({prefixes: [], studios: {}, linkUp: true, brokerUp: true}, 'nowhere');
  assert.deepStrictEqual([v.onAir1, v.onAir2, v.micOn, v.levels], [false, false, false, null]);
});

test('lamp colours follow on, fader and the configured colours; sources as the display names them', () => {
  const l = live('online');
  l.studios.korvane.state['module-on'] = lit('module-on', [1, 1, 0, 0, 0, 1, 0, 0]);
  l.studios.korvane.state.fader = lit('fader', [1, 0, 0, 0, 0, 0, 0, 0]);
  l.studios.korvane.state['module-source'] = lit('module-source', [1, 0, 1, 0, 1, 1, 0, 0]);
  const v = Korvane.view(l, 'korvane');
  assert.deepStrictEqual(Array.from(v.modules, (m) => m.colour), [1, 2, 0, 0, 0, 2]);
  assert.deepStrictEqual(Array.from(v.modules, (m) => m.source), ['MIC', 'LINE', 'USB', 'LINE', 'USB', 'VOIP']);
});

test('meters come from PGM left/right and CRM left/right', () => {
  assert.deepStrictEqual(Array.from(Korvane.view(live('online'), 'korvane').levels), [-10, -11, -12, -13]);
});

test('the meter scale is the display\'s DIN curve from -50 to +5 dB', () => {
  const table = [[-50, 0], [5, 1], [0, 0.8313], [-10, 0.5588], [-20, 0.3544], [-40, 0.0862], [-60, 0], [20, 1], [NaN, 0]];
  for (const [db, f] of table)
    assert.ok(Math.abs(Meters.fraction(db) - f) < 0.0005, `${db} dB gives ${Meters.fraction(db)}, not ${f}`);
});

test('a bar rises at once, falls at 13.3 dB a second, and holds its peak', () => {
  const bar = new Meters.Bar();
  bar.feed(-5, 0);
  bar.step(0, 16);
  assert.strictEqual(bar.shown, -5);
  bar.feed(-40, 10);
  bar.step(100, 100);
  assert.ok(Math.abs(bar.shown - (-5 - 1.33)) < 1e-9, String(bar.shown));
  assert.strictEqual(bar.peak, -5);
  bar.feed(-40, 2950);
  bar.step(3000, 2900);
  assert.strictEqual(bar.shown, -40);
  assert.ok(bar.peak < -5, 'the peak falls after its hold');
  bar.step(5000, 2000);  // nothing fed for seconds: the bar sinks to the floor
  assert.ok(bar.shown < -40, String(bar.shown));
});

test('mic-on time counts hours past a day', () => {
  const table = [[0, '00:00:00'], [999, '00:00:00'], [61000, '00:01:01'], [3600000 * 100, '100:00:00'], [-5000, '00:00:00']];
  for (const [ms, text] of table)
    assert.strictEqual(Korvane.micTimeText(ms), text);
});

test('the studio clock is the server\'s time, corrected by the least delayed sample', () => {
  const l = new Korvane.Live(() => {});
  const ahead = 60000;
  l.take({type: 'hello', prefixes: ['korvane'], broker: {connected: true}, time: {server_ms: Date.now() + ahead, synced: false}});
  // A late sample (delayed on the way) must not pull the clock back.
  l.take({type: 'time', server_ms: Date.now() + ahead - 400, synced: true});
  assert.ok(Math.abs(l.now() - (Date.now() + ahead)) < 50, String(l.now() - Date.now()));
  assert.strictEqual(l.synced, true);
  l.take({type: 'time', server_ms: Date.now() + ahead, synced: false});
  assert.strictEqual(l.synced, false);
});

test('a refused connection is tried again, less often each time, up to every 4 s', () => {
  sockets.length = 0;
  timers.length = 0;
  const changes = [];
  const l = new Korvane.Live((kind) => changes.push(kind));
  const waits = [];
  for (let i = 0; i < 7; ++i) {
    sockets[sockets.length - 1].onclose();
    const t = timers.pop();
    waits.push(t.ms);
    t.fn();
  }
  assert.deepStrictEqual(waits, [250, 500, 1000, 2000, 4000, 4000, 4000]);
  assert.strictEqual(sockets.length, 8);
  assert.strictEqual(Korvane.statusText(Korvane.view(l, 'korvane'), l), 'SERVER GONE');
  // A snapshot after hello makes it live again and starts the back-off afresh.
  sockets[sockets.length - 1].onmessage({data: JSON.stringify({type: 'hello', prefixes: ['korvane'], broker: {connected: true}})});
  sockets[sockets.length - 1].onmessage({data: JSON.stringify({type: 'snapshot', studios: {korvane: {status: 'online', state: {}}}})});
  assert.strictEqual(l.linkUp, true);
  sockets[sockets.length - 1].onclose();
  assert.strictEqual(timers.pop().ms, 250);
  assert.ok(changes.includes('snapshot') && changes.includes('link'));
});

test('changes after the snapshot; unknown messages and bad JSON change nothing', () => {
  sockets.length = 0;
  const l = new Korvane.Live(() => {});
  const send = (m) => sockets[0].onmessage({data: typeof m === 'string' ? m : JSON.stringify(m)});
  send({type: 'hello', prefixes: ['korvane'], broker: {connected: true}});
  send({type: 'snapshot', studios: {korvane: {status: 'online', state: {'on-air': lit('on-air', [0, 0])}}}});
  send({type: 'state', prefix: 'korvane', name: 'on-air', value: lit('on-air', [1, 0])});
  send('{not json');
  send({type: 'from-the-future', prefix: 'korvane', value: 1});
  send({type: 'state', prefix: 'korvane', name: 'new-thing', value: 'text payload'});
  assert.strictEqual(Korvane.view(l, 'korvane').onAir1, true);
  send({type: 'status', prefix: 'korvane', value: null});
  assert.strictEqual(Korvane.view(l, 'korvane').onAir1, false);
  send({type: 'broker', connected: false});
  assert.strictEqual(Korvane.statusText(Korvane.view(l, 'korvane'), l), 'BROKER DOWN');
});

process.exit(failed ? 1 : 0);
