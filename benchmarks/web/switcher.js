// Switches a module in korvane-sim as a mixer client would (remote on,
// toggle) and notes when the sim's module event left it: this socket is one
// of the sim's clients, so the event reaches it over loopback at the same
// moment it goes to the bridge.
'use strict';

const dgram = require('dgram');

const MODULE = 4;  // no scenario event touches it
const REMOTE_ON = 5;
const MODULE_ON_EVENT = 0xe0;

class Switcher {
  constructor(simPort) {
    this.simPort = simPort;
    this.events = [];  // {t, on}
    this.socket = dgram.createSocket('udp4');
    this.socket.on('message', (m) => {
      if (m.length === 12 && m[0] === 0xa0 && m[1] === 0xa0 && m[3] === MODULE_ON_EVENT)
        this.events.push({t: Date.now(), on: m[4 + MODULE] === 1});
    });
  }

  start() {
    return new Promise((resolve) => this.socket.bind(0, '127.0.0.1', resolve));
  }

  toggle() {
    this.socket.send(Buffer.from([0xa0, 0xa0, 4, REMOTE_ON, MODULE, 2, 0, 0, 0, 0, 0, 0]), this.simPort, '127.0.0.1');
  }

  close() {
    this.socket.close();
  }
}

function percentile(sorted, p) {
  if (!sorted.length)
    return NaN;
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}

function summary(values) {
  const s = values.slice().sort((a, b) => a - b);
  return {n: s.length, median: percentile(s, 50), p99: percentile(s, 99), max: s[s.length - 1]};
}

module.exports = {Switcher, MODULE, summary};
