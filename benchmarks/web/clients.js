// korvane-web with many live clients: CPU (% of one core) and resident
// memory with CLIENTS WebSocket clients taking meters at 10 a second and
// every state change, then the same while two clients stop reading for
// STALL seconds, then after the first reads again. Each client's latency is from
// the module event leaving korvane-sim to the state message arriving.
//   node clients.js BUILD_DIR [CLIENTS=100] [SECONDS=60] [STALL=60]
// Needs `npm ci` in this folder first.
'use strict';

const {spawn} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const WebSocket = require('ws');
const {Rig, waitFor, sleep} = require('../../tests/tools/web/browser/studio_rig');
const {Switcher, MODULE, summary} = require('./switcher');

// CPU time of all the process's threads, in ns.
function cpuNs(pid) {
  let sum = 0;
  for (const task of fs.readdirSync(`/proc/${pid}/task`)) {
    try {
      sum += Number(fs.readFileSync(`/proc/${pid}/task/${task}/schedstat`, 'utf8').split(' ')[0]);
    } catch (e) {
      // a thread that just ended
    }
  }
  return sum;
}

function memory(pid) {
  const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
  const kib = (key) => Number((new RegExp(key + ':\\s+(\\d+)').exec(status) || [0, 0])[1]);
  return {rss: kib('VmRSS'), hwm: kib('VmHWM')};
}

// Bytes the kernel holds for one loopback TCP connection: unsent at the
// server (its tx queue) and unread at the client (its rx queue).
function socketQueues(serverPort, clientPort) {
  const q = {serverUnsent: 0, clientUnread: 0};
  for (const line of fs.readFileSync('/proc/net/tcp', 'utf8').split('\n').slice(1)) {
    const f = line.trim().split(/\s+/);
    if (f.length < 5)
      continue;
    const local = parseInt(f[1].split(':')[1], 16);
    const remote = parseInt(f[2].split(':')[1], 16);
    const [tx, rx] = f[4].split(':').map((x) => parseInt(x, 16));
    if (local === serverPort && remote === clientPort)
      q.serverUnsent = tx;
    if (local === clientPort && remote === serverPort)
      q.clientUnread = rx;
  }
  return q;
}

class Client {
  constructor(url) {
    this.meters = 0;
    this.states = [];  // {t, on}
    this.ws = new WebSocket(url);
    this.open = new Promise((resolve, reject) => {
      this.ws.once('open', resolve);
      this.ws.once('error', reject);
    });
    this.ws.on('message', (data) => {
      const m = JSON.parse(data);
      if (m.type === 'meters')
        ++this.meters;
      else if (m.type === 'state' && m.name === 'module-on' && m.value && Array.isArray(m.value.values))
        this.states.push({t: Date.now(), on: m.value.values[MODULE] === 1});
    });
  }

  // Stops taking data off the socket: the kernel's buffers fill and the
  // server has to hold or drop what it would send.
  stall() {
    this.ws._socket.pause();
  }

  resume() {
    this.ws._socket.resume();
  }
}

// Latency of every switch at every client that was reading.
function latencies(events, clients, from, to) {
  const out = [];
  let missed = 0;
  for (let i = 0; i < events.length; ++i) {
    const e = events[i];
    if (e.t < from || e.t >= to)
      continue;
    // The next switch to the same state ends this one's window. The event and
    // a client's message may be handled in either order in this process's
    // loop: a few ms before the event still belong to it.
    const end = i + 2 < events.length ? events[i + 2].t - 5 : Infinity;
    for (const c of clients) {
      const hit = c.states.find((s) => s.t >= e.t - 5 && s.t < end && s.on === e.on);
      if (hit)
        out.push(Math.max(0, hit.t - e.t));
      else
        ++missed;
    }
  }
  return {...summary(out), missed};
}

async function main() {
  const build = path.resolve(process.argv[2] || 'build');
  const count = Number(process.argv[3] || 100);
  const seconds = Number(process.argv[4] || 60);
  const stallSeconds = Number(process.argv[5] || 60);
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'korvane-web-clients-'));
  const rig = new Rig({
    web: path.join(build, 'tools/web/korvane-web'),
    sim: path.join(build, 'tools/sim/korvane-sim'),
    mqtt: path.join(build, 'tools/mqtt/korvane-mqtt'),
    broker: '/usr/sbin/mosquitto',
    out,
  });
  const clients = [];
  let timer;
  try {
    await rig.startBroker();
    const sim = await rig.startSim('sim');
    rig.startBridge('bridge', 'korvane', sim.port, ['--meters-hz', '10']);
    const web = await rig.startWeb(['korvane']);
    const switcher = new Switcher(sim.port);
    await switcher.start();
    timer = setInterval(() => switcher.toggle(), 1000);

    const idle = memory(web.pid);
    for (let i = 0; i < count; ++i)
      clients.push(new Client(`ws://127.0.0.1:${rig.webPort}/live`));
    await Promise.all(clients.map((c) => c.open));
    await sleep(5000);

    const measure = async (secs, readers) => {
      const t0 = Date.now();
      const c0 = cpuNs(web.pid);
      const m0 = readers.map((c) => c.meters);
      const rss = [];
      for (let s = 0; s < secs; s += 5) {
        await sleep(Math.min(5, secs - s) * 1000);
        rss.push(memory(web.pid).rss);
      }
      const t1 = Date.now();
      const cpu = ((cpuNs(web.pid) - c0) / 1e6 / (t1 - t0)) * 100;
      const rates = readers.map((c, i) => ((c.meters - m0[i]) * 1000) / (t1 - t0));
      const lat = latencies(switcher.events.filter((e, i, all) => e.on !== (i > 0 ? all[i - 1].on : false)), readers, t0, t1 - 1500);
      return {cpu, rss, rates, lat};
    };
    const report = (label, r) => {
      console.log(`${label}: cpu ${r.cpu.toFixed(1)} % of one core, rss KiB ${Math.min(...r.rss)}..${Math.max(...r.rss)}`);
      console.log(`  meters per client per second: min ${Math.min(...r.rates).toFixed(1)}, max ${Math.max(...r.rates).toFixed(1)}`);
      console.log(`  sim -> client state latency ms: median ${r.lat.median}, p99 ${r.lat.p99}, max ${r.lat.max} (${r.lat.n} deliveries, ${r.lat.missed} missed)`);
    };

    console.log(`korvane-web idle: rss ${idle.rss} KiB; ${count} clients`);
    report(`${count} clients reading, ${seconds} s`, await measure(seconds, clients));

    const stalled = clients[0];
    stalled.stall();
    // A second one that never reads, with a tiny receive buffer: the kernel
    // absorbs little, the server has to bound the rest.
    const tiny = spawn('python3', [path.join(__dirname, 'stalled_client.py'), String(rig.webPort), String(stallSeconds)],
      {stdio: 'ignore'});
    const statesBefore = stalled.states.length;
    report(`2 clients stalled for ${stallSeconds} s (one with a 2 KiB receive buffer), the other ${count - 1}`, await measure(stallSeconds, clients.slice(1)));
    const q = socketQueues(rig.webPort, stalled.ws._socket.localPort);
    console.log(`at the end of the stall the kernel held ${q.serverUnsent} bytes unsent and ${q.clientUnread} unread`);
    await new Promise((resolve) => (tiny.exitCode !== null ? resolve() : tiny.once('exit', resolve)));
    stalled.resume();
    await sleep(3000);
    const last = switcher.events[switcher.events.length - 1];
    const caught = stalled.states.length > statesBefore && stalled.states[stalled.states.length - 1].on === last.on;
    console.log(`the stalled client, reading again: ${stalled.states.length - statesBefore} module states, ` +
      `latest ${caught ? 'matches' : 'DOES NOT match'} the mixer`);
    const after = memory(web.pid);
    console.log(`korvane-web after: rss ${after.rss} KiB, peak ${after.hwm} KiB`);
    switcher.close();
  } finally {
    clearInterval(timer);
    for (const c of clients)
      c.ws.terminate();
    await rig.close();
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
