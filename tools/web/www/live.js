// The live channel to korvane-web and the studios' last known state, shared
// by master control, the face and the overlay. Read-only: nothing is ever
// sent to the server.
'use strict';

const Korvane = (() => {
  // The server speaks once a second at least; silence this long means it is
  // gone even when the socket has not noticed (a pulled cable, a frozen proxy).
  const SILENCE_LIMIT_MS = 2500;
  const RETRY_FIRST_MS = 250;
  const RETRY_MAX_MS = 4000;
  const OFFSET_SAMPLES = 8;

  const SOURCE_TYPES = ['MIC', 'MIC', 'USB', 'USB', 'USB', 'VOIP'];

  function pad2(n) {
    return String(n).padStart(2, '0');
  }

  // Whole hours past a day as the display counts them ("100:00:00").
  function micTimeText(ms) {
    const s = Math.max(0, Math.floor(ms / 1000));
    return pad2(Math.floor(s / 3600)) + ':' + pad2(Math.floor(s / 60) % 60) + ':' + pad2(s % 60);
  }

  const DAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
  const MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];

  function timeText(d) {
    return pad2(d.getHours()) + ':' + pad2(d.getMinutes()) + ':' + pad2(d.getSeconds());
  }

  function dateText(d) {
    return DAYS[d.getDay()] + ' ' + d.getDate() + ' ' + MONTHS[d.getMonth()] + ' ' + d.getFullYear();
  }

  function flag(state, name, index) {
    const entry = state[name];
    if (!entry || typeof entry !== 'object' || !Array.isArray(entry.values))
      return false;
    return entry.values[index] === 1;
  }

  function values(state, name) {
    const entry = state[name];
    return entry && typeof entry === 'object' && Array.isArray(entry.values) ? entry.values : null;
  }

  // What a page may show of one studio. Signals count only while the studio
  // is online and the picture is current: a studio that went quiet, a dead
  // bridge, a lost broker or a lost server must never leave ON AIR lit.
  function view(live, prefix) {
    const studio = live.studios[prefix] || null;
    const status = studio ? studio.status : null;
    const trusted = live.linkUp && live.brokerUp && status === 'online';
    const state = (studio && studio.state) || {};
    const v = {
      prefix,
      known: live.prefixes.includes(prefix),
      status,
      trusted,
      onAir1: trusted && flag(state, 'on-air', 0),
      onAir2: trusted && flag(state, 'on-air', 1),
      micOn: trusted && flag(state, 'mic-on', 0),
      micSince: studio ? studio.mic_on_since_ms : null,
      silence: trusted && flag(state, 'silence', 0),
      phone: trusted && flag(state, 'phone', 0),
      nonStop: trusted && flag(state, 'non-stop', 0),
      crmMute: trusted && flag(state, 'crm-mute', 0),
      levels: null,
      modules: [],
      silenceMarker: null,
    };
    const meters = studio && studio.meters;
    if (trusted && meters && Array.isArray(meters.levels_db) && meters.levels_db.length >= 6)
      v.levels = [meters.levels_db[0], meters.levels_db[1], meters.levels_db[4], meters.levels_db[5]].map(Number);
    const on = values(state, 'module-on');
    const fader = values(state, 'fader');
    const source = values(state, 'module-source');
    const voiceTrack = values(state, 'voice-track');
    const lamps = state['config-on'] && Array.isArray(state['config-on'].modules) ? state['config-on'].modules : [];
    for (let i = 0; i < 6; ++i) {
      const c = lamps[i] || {};
      let colour = c.inactive | 0;
      if (on && on[i] === 1)
        colour = fader && fader[i] === 1 ? c.active_and_fader | 0 : c.active | 0;
      v.modules.push({
        colour: trusted ? colour : 0,
        inactiveColour: c.inactive | 0,
        on: trusted && !!on && on[i] === 1,
        // Modules 4 and 5 (counting from 1) never blink on the display either.
        blinks: trusted && !!voiceTrack && voiceTrack[i] !== 0 && [0, 1, 2, 5].includes(i),
        source: source ? (source[i] ? SOURCE_TYPES[i] : 'LINE') : '',
      });
    }
    const silence = state['config-silence-detection'];
    if (silence && silence.config === 1 && typeof silence.threshold_db === 'number')
      v.silenceMarker = {
        db: silence.threshold_db,
        left: silence.source === 0 || silence.source === 2,
        right: silence.source === 1 || silence.source === 2,
      };
    return v;
  }

  function statusText(v, live) {
    if (!live.linkUp)
      return live.connects === 0 && live.failures === 0 ? 'CONNECTING' : 'SERVER GONE';
    if (!live.brokerUp)
      return 'BROKER DOWN';
    if (!v.known)
      return 'UNKNOWN STUDIO';
    switch (v.status) {
    case 'online': return 'ONLINE';
    case 'offline': return 'OFFLINE';
    case 'bridge-down': return 'BRIDGE DOWN';
    case null:
    case undefined: return 'NOTHING HEARD';
    default: return String(v.status).toUpperCase();
    }
  }

  class Live {
    constructor(onChange) {
      this.onChange = onChange;
      this.prefixes = [];
      this.studios = {};
      this.version = '';
      this.linkUp = false;
      this.brokerUp = false;
      this.synced = true;
      this.offsetSamples = [];
      this.offsetMs = 0;
      this.lastMessage = 0;
      this.retryMs = RETRY_FIRST_MS;
      this.socket = null;
      this.retryTimer = null;
      this.connects = 0;
      this.failures = 0;
      this.connect();
      setInterval(() => this.watch(), 250);
    }

    // The studio clock: the server's time with this browser's offset.
    now() {
      return Date.now() + this.offsetMs;
    }

    connect() {
      this.retryTimer = null;
      const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/live';
      let socket;
      try {
        socket = new WebSocket(url);
      } catch (e) {
        this.retry();
        return;
      }
      this.socket = socket;
      this.lastMessage = Date.now();
      socket.onmessage = (event) => {
        if (socket !== this.socket)
          return;
        this.lastMessage = Date.now();
        let message;
        try {
          message = JSON.parse(event.data);
        } catch (e) {
          return;
        }
        if (message && typeof message === 'object')
          this.take(message);
      };
      socket.onclose = () => {
        if (socket === this.socket)
          this.lost();
      };
      // A refused connection reports an error and then a close: the close
      // alone schedules the next try.
      socket.onerror = () => {};
    }

    watch() {
      if (this.socket && this.linkUp && Date.now() - this.lastMessage > SILENCE_LIMIT_MS)
        this.lost();
      else if (this.socket && !this.linkUp && Date.now() - this.lastMessage > SILENCE_LIMIT_MS + RETRY_MAX_MS)
        this.lost();  // a connect that hangs without an answer
    }

    lost() {
      const socket = this.socket;
      this.socket = null;
      if (socket) {
        socket.onmessage = socket.onclose = null;
        try {
          socket.close();
        } catch (e) {
          // already closed
        }
      }
      this.linkUp = false;
      this.failures += 1;
      this.onChange('link', null);
      this.retry();
    }

    retry() {
      if (this.retryTimer)
        return;
      const wait = this.retryMs;
      this.retryMs = Math.min(RETRY_MAX_MS, this.retryMs * 2);
      this.retryTimer = setTimeout(() => this.connect(), wait);
    }

    takeTime(t) {
      if (!t || typeof t.server_ms !== 'number')
        return;
      // The sample with the least delay on the way is the truest: keep the
      // largest of the last few (server time minus arrival time).
      this.offsetSamples.push(t.server_ms - Date.now());
      if (this.offsetSamples.length > OFFSET_SAMPLES)
        this.offsetSamples.shift();
      this.offsetMs = Math.max(...this.offsetSamples);
      this.synced = t.synced !== false;
    }

    studio(prefix) {
      if (!this.studios[prefix])
        this.studios[prefix] = {status: null, bridge: null, state: {}, meters: null, mic_on_since_ms: null};
      return this.studios[prefix];
    }

    take(m) {
      switch (m.type) {
      case 'hello':
        this.prefixes = Array.isArray(m.prefixes) ? m.prefixes.map(String) : [];
        this.version = String(m.version || '');
        this.brokerUp = !!(m.broker && m.broker.connected);
        // A new server may have another clock: start the offset afresh.
        this.offsetSamples = [];
        this.takeTime(m.time);
        return;
      case 'snapshot':
        this.studios = {};
        for (const [prefix, s] of Object.entries(m.studios || {})) {
          const studio = this.studio(prefix);
          if (s && typeof s === 'object') {
            studio.status = s.status === undefined ? null : s.status;
            studio.bridge = s.bridge || null;
            studio.state = s.state && typeof s.state === 'object' ? s.state : {};
            studio.meters = s.meters || null;
            studio.mic_on_since_ms = typeof s.mic_on_since_ms === 'number' ? s.mic_on_since_ms : null;
          }
        }
        this.linkUp = true;
        this.retryMs = RETRY_FIRST_MS;
        ++this.connects;
        this.onChange('snapshot', null);
        return;
      case 'time':
        this.takeTime(m);
        this.onChange('time', null);
        return;
      case 'broker':
        this.brokerUp = !!m.connected;
        this.onChange('broker', null);
        return;
      default:
        break;
      }
      if (typeof m.prefix !== 'string')
        return;
      const studio = this.studio(m.prefix);
      switch (m.type) {
      case 'status': studio.status = m.value === undefined ? null : m.value; break;
      case 'bridge': studio.bridge = m.value || null; break;
      case 'state':
        if (typeof m.name === 'string')
          studio.state[m.name] = m.value;
        break;
      case 'meters': studio.meters = m.value || null; break;
      case 'mic': studio.mic_on_since_ms = typeof m.since_ms === 'number' ? m.since_ms : null; break;
      default: return;  // a newer server's message: nothing to show
      }
      this.onChange(m.type, m.prefix);
    }
  }

  // The prefix in /studio/PREFIX or /overlay/PREFIX.
  function pagePrefix() {
    const parts = location.pathname.split('/').filter((p) => p !== '');
    return parts.length >= 2 ? decodeURIComponent(parts.slice(1).join('/')) : 'korvane';
  }

  function setText(element, text) {
    if (element.textContent !== text)
      element.textContent = text;
  }

  function setFlag(element, on) {
    const value = on ? 'true' : 'false';
    if (element.dataset.on !== value) {
      element.dataset.on = value;
      element.classList.toggle('on', on);
    }
  }

  return {Live, view, statusText, micTimeText, timeText, dateText, pagePrefix, setText, setFlag};
})();
