// The one native port to the host, org.example.tabulon.bridge, and what goes over it.
// The open port also keeps the extension alive (a service worker with no port is
// stopped after half a minute of quiet).
import { BridgeError, jsonBytes, readInteger, readString } from './checked.js';
import { readSnapshot } from './describe.js';

export const PROTOCOL_VERSION = 1;
export const HOST_NAME = 'org.example.tabulon.bridge';
// Messages to the host may be up to 64 MiB; stay well under, since the browser
// writes the JSON itself and may escape more than JSON.stringify does.
export const MAX_OUTGOING = 48 * 1024 * 1024;

const FIRST_RETRY_MS = 1000;
const LAST_RETRY_MS = 60000;
// A connection that lasted this long was a good one: the next retry starts over.
const STEADY_MS = 10000;

export class Bridge {
  // hello: () => Promise of the hello message; requests: a Requests.
  constructor({ api, clock, requests, hello, log = () => {} }) {
    this.api = api;
    this.clock = clock;
    this.requests = requests;
    this.hello = hello;
    this.log = log;
    this.port = null;
    this.retryMs = FIRST_RETRY_MS;
    this.connectedAt = 0;
    this.retryTimer = null;
    // Events go to Tabulon only once it has its snapshot; while one is being read
    // they wait in `held`, so none falls between the snapshot and the first event.
    this.live = false;
    this.held = null;
    this.greeting = 0;
  }

  start() {
    if (this.port || this.retryTimer !== null)
      return;
    this.connect();
  }

  connect() {
    this.retryTimer = null;
    let port;
    try {
      port = this.api.runtime.connectNative(HOST_NAME);
    } catch (e) {
      this.log(`cannot reach the host: ${e?.message ?? e}`);
      this.retry();
      return;
    }
    this.port = port;
    this.connectedAt = this.clock.now();
    port.onMessage.addListener((message) => {
      if (this.port === port)
        this.receive(message);
    });
    port.onDisconnect.addListener((p) => {
      if (this.port !== port)
        return;
      const why = p?.error?.message ?? this.api.runtime.lastError?.message ?? 'closed';
      this.log(`host gone: ${why}`);
      this.port = null;
      this.live = false;
      this.held = null;
      if (this.clock.now() - this.connectedAt >= STEADY_MS)
        this.retryMs = FIRST_RETRY_MS;
      this.retry();
    });
  }

  retry() {
    const delay = this.retryMs;
    this.retryMs = Math.min(this.retryMs * 2, LAST_RETRY_MS);
    this.retryTimer = this.clock.setTimeout(() => this.connect(), delay);
  }

  receive(message) {
    if (typeof message !== 'object' || message === null)
      return;
    if (message.type === 'tabulon') {
      if (message.connected === true)
        this.greet();
      else
        this.live = false;
    } else if (message.type === 'request') {
      this.answer(message);
    }
  }

  // Tabulon has (re)connected: who we are, everything there is, then changes.
  async greet() {
    const greeting = ++this.greeting;
    this.live = false;
    this.held = [];
    try {
      this.post(await this.hello());
      const snapshot = await readSnapshot(this.api);
      if (greeting !== this.greeting)
        return;
      this.post({ type: 'snapshot', ...snapshot });
      const held = this.held ?? [];
      this.held = null;
      this.live = true;
      for (const message of held)
        this.post(message);
    } catch (e) {
      if (greeting === this.greeting)
        this.held = null;
      this.log(`cannot greet Tabulon: ${e?.message ?? e}`);
    }
  }

  event(name, payload) {
    const message = { type: 'event', name, ...payload };
    if (this.held)
      this.held.push(message);
    else if (this.live)
      this.post(message);
  }

  async answer(request) {
    const id = readInteger(request.id, 0, Number.MAX_SAFE_INTEGER);
    if (id === null) {
      this.log('a request without a usable id was dropped');
      return;
    }
    let reply;
    try {
      const result = await this.requests.handle(request.method, request.params);
      reply = { type: 'reply', id, result: result ?? {} };
      if (jsonBytes(reply) > MAX_OUTGOING)
        throw new BridgeError('tooLarge', 'the answer is too large to send');
    } catch (e) {
      const error = { code: typeof e?.code === 'string' ? e.code : 'browser',
        message: readString(String(e?.message ?? e), 1024, 'failed') };
      reply = { type: 'reply', id, error };
    }
    this.post(reply);
  }

  post(message) {
    if (!this.port)
      return;
    try {
      this.port.postMessage(message);
    } catch (e) {
      // The port has just closed; onDisconnect tells the rest.
      this.log(`cannot send: ${e?.message ?? e}`);
    }
  }
}
