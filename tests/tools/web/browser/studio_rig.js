// A studio on this machine for the browser tests and benchmarks: a private
// mosquitto, korvane-sim, korvane-mqtt and korvane-web on free ports, each
// with its output kept, and headless chromium with a fresh profile.
'use strict';

const {spawn} = require('child_process');
const fs = require('fs');
const net = require('net');
const path = require('path');
const readline = require('readline');

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

function freeTcpPort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Polls `probe` until it returns a truthy value or `ms` have passed.
async function waitFor(what, ms, probe, every = 50) {
  const end = Date.now() + ms;
  let last;
  for (;;) {
    try {
      last = await probe();
      if (last)
        return last;
    } catch (e) {
      last = e;
    }
    if (Date.now() > end)
      throw new Error('timed out after ' + ms + ' ms waiting for ' + what + (last instanceof Error ? ': ' + last.message : ''));
    await sleep(every);
  }
}

class Rig {
  constructor(options) {
    this.o = options;  // {web, sim, mqtt, broker, out}
    this.children = [];
    fs.mkdirSync(options.out, {recursive: true});
  }

  log(name) {
    return fs.openSync(path.join(this.o.out, name), 'a');
  }

  spawn(name, file, args) {
    const fd = this.log(name + '.log');
    const child = spawn(file, args, {stdio: ['ignore', fd, fd]});
    fs.closeSync(fd);
    child.name = name;
    this.children.push(child);
    return child;
  }

  async startBroker() {
    this.brokerPort = await freeTcpPort();
    const conf = path.join(this.o.out, 'mosquitto.conf');
    fs.writeFileSync(conf, `listener ${this.brokerPort} 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n`);
    this.brokerChild = this.spawn('mosquitto', this.o.broker, ['-c', conf]);
    await waitFor('mosquitto', 5000, () => new Promise((resolve) => {
      const s = net.connect(this.brokerPort, '127.0.0.1', () => {
        s.destroy();
        resolve(true);
      });
      s.on('error', () => resolve(false));
    }));
  }

  // korvane-sim with --verbose: every line it prints is kept with the
  // moment it arrived here (`lines`), which is when the change left it.
  async startSim(name, extra = []) {
    const child = spawn(this.o.sim, ['--listen', '127.0.0.1:0', '--verbose', ...extra], {stdio: ['ignore', 'pipe', 'pipe']});
    child.name = name;
    this.children.push(child);
    child.lines = [];
    const logFile = fs.createWriteStream(path.join(this.o.out, name + '.log'));
    child.stderr.pipe(logFile);
    const rl = readline.createInterface({input: child.stdout});
    rl.on('line', (line) => {
      child.lines.push({t: Date.now(), line});
      logFile.write(line + '\n');
    });
    child.port = await waitFor(name + ' port', 5000, () => {
      const first = child.lines[0];
      const m = first && /port (\d+),/.exec(first.line);
      return m ? Number(m[1]) : 0;
    });
    return child;
  }

  startBridge(name, prefix, simPort, extra = []) {
    return this.spawn(name, this.o.mqtt, ['--broker', '127.0.0.1:' + this.brokerPort, '--send-port', String(simPort),
      '--recv-port', '0', '--prefix', prefix, ...extra]);
  }

  async startWeb(prefixes, port) {
    this.webPort = port || this.webPort || await freeTcpPort();
    const args = ['--broker', '127.0.0.1:' + this.brokerPort, '--listen', '127.0.0.1:' + this.webPort];
    for (const p of prefixes)
      args.push('--prefix', p);
    this.webChild = this.spawn('korvane-web', this.o.web, args);
    await waitFor('korvane-web to answer', 10000, async () => {
      if (this.webChild.exitCode !== null)
        throw new Error('korvane-web exited with ' + this.webChild.exitCode);
      const res = await fetch(this.url('/'), {method: 'HEAD'});
      return res.ok;
    }, 100);
    return this.webChild;
  }

  url(p) {
    return 'http://127.0.0.1:' + this.webPort + p;
  }

  async stop(child, signal = 'SIGTERM') {
    if (!child || child.exitCode !== null || child.signalCode !== null)
      return;
    const done = new Promise((resolve) => child.once('exit', resolve));
    child.kill(signal);
    const t = setTimeout(() => child.kill('SIGKILL'), 5000);
    await done;
    clearTimeout(t);
  }

  // Chromium as the Debian package ships it; null with the reason when it
  // cannot start here.
  async launchBrowser(puppeteer) {
    const executablePath = process.env.KORVANE_CHROMIUM || '/usr/bin/chromium';
    const userDataDir = fs.mkdtempSync(path.join(this.o.out, 'chromium-profile-'));
    this.profile = userDataDir;
    try {
      this.browser = await puppeteer.launch({
        executablePath,
        headless: true,
        userDataDir,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
          '--disable-component-update', '--disable-sync'],
        timeout: 30000,
      });
    } catch (e) {
      return {error: e.message.split('\n')[0]};
    }
    return {browser: this.browser};
  }

  async close() {
    if (this.browser)
      await this.browser.close().catch(() => {});
    if (this.profile)
      fs.rmSync(this.profile, {recursive: true, force: true});
    for (const child of this.children.slice().reverse())
      await this.stop(child);
  }
}

module.exports = {Rig, freeTcpPort, waitFor, sleep};
