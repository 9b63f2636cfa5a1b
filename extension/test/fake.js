// A small stand-in for the browser's extension API: windows, tabs and frames in
// memory, events that tests fire, a native port that records what is posted, a
// window manager that acts late, and a clock that the test drives.

export class FakeEvent {
  constructor() {
    this.listeners = [];
  }
  addListener(f) {
    this.listeners.push(f);
  }
  removeListener(f) {
    this.listeners = this.listeners.filter((g) => g !== f);
  }
  hasListener(f) {
    return this.listeners.includes(f);
  }
  fire(...args) {
    for (const f of this.listeners)
      f(...args);
  }
}

// Timers run only when the test lets time pass, in order of their time.
export class FakeClock {
  constructor() {
    this.time = 1000000;
    this.timers = [];
    this.next = 1;
  }
  now() {
    return this.time;
  }
  setTimeout(f, ms) {
    const id = this.next++;
    this.timers.push({ id, at: this.time + Math.max(0, ms), f });
    return id;
  }
  clearTimeout(id) {
    this.timers = this.timers.filter((t) => t.id !== id);
  }
  // Lets pending promise work finish.
  async settle() {
    for (let i = 0; i < 20; i++)
      await new Promise((resolve) => setImmediate(resolve));
  }
  // Runs timers in order until `promise` settles (or no timer is left, or `limit` ms
  // have passed); gives the promise's outcome.
  async run(promise, limit = 600000) {
    let done = false;
    const outcome = promise.then((value) => ({ value }), (error) => ({ error }));
    outcome.then(() => { done = true; });
    const end = this.time + limit;
    for (;;) {
      await this.settle();
      if (done)
        break;
      this.timers.sort((a, b) => a.at - b.at);
      const timer = this.timers.shift();
      if (!timer || timer.at > end)
        break;
      this.time = Math.max(this.time, timer.at);
      timer.f();
    }
    if (!done)
      throw new Error('still pending');
    const { value, error } = await outcome;
    if (error)
      throw error;
    return value;
  }
  async advance(ms) {
    const end = this.time + ms;
    for (;;) {
      await this.settle();
      this.timers.sort((a, b) => a.at - b.at);
      if (!this.timers.length || this.timers[0].at > end)
        break;
      const timer = this.timers.shift();
      this.time = timer.at;
      timer.f();
    }
    this.time = end;
    await this.settle();
  }
}

export class FakePort {
  constructor(name) {
    this.name = name;
    this.posted = [];
    this.onMessage = new FakeEvent();
    this.onDisconnect = new FakeEvent();
    this.open = true;
  }
  postMessage(message) {
    if (!this.open)
      throw new Error('Attempting to use a disconnected port object');
    // What the browser would carry: JSON, not the object itself.
    this.posted.push(JSON.parse(JSON.stringify(message)));
  }
  // The host sends something.
  deliver(message) {
    this.onMessage.fire(message);
  }
  // The host exits.
  drop() {
    this.open = false;
    this.onDisconnect.fire(this);
  }
}

const clone = (v) => structuredClone(v);

// A browser with windows of tabs; each tab has frames, each frame a page
// environment (document, window, location...) that page functions run against.
export function fakeBrowser({ clock, firefox = false, wmDelayMs = 100 } = {}) {
  const windows = new Map();
  const tabs = new Map();
  const calls = [];
  const ports = [];
  let nextId = 1;
  // What the window manager does with a requested change (default: as asked).
  const browser = { windows, tabs, calls, ports, wm: (w, change) => Object.assign(w, change),
    hangScripts: false };

  const notFound = (what, id) => Promise.reject(new Error(`No ${what} with id: ${id}.`));
  const windowOf = (w) => ({ ...clone(w.info), tabs: undefined });
  const event = () => new FakeEvent();

  browser.addWindow = (info = {}, tabInfos = [{}]) => {
    const id = nextId++;
    const w = { info: { id, type: 'normal', state: 'normal', focused: false, incognito: false,
      left: 10, top: 20, width: 800, height: 600, ...info }, tabs: [] };
    windows.set(id, w);
    for (const t of tabInfos)
      browser.addTab(id, t);
    return id;
  };
  browser.addTab = (windowId, info = {}) => {
    const id = nextId++;
    const w = windows.get(windowId);
    const tab = { info: { id, windowId, index: w.tabs.length, active: w.tabs.length === 0,
      status: 'complete', title: 'Untitled', url: 'about:blank', incognito: false, ...info },
    frames: info.frames ?? [{ frameId: 0, page: {} }], zoom: 1 };
    delete tab.info.frames;
    w.tabs.push(id);
    tabs.set(id, tab);
    return id;
  };

  const api = {
    runtime: {
      connectNative(name) {
        const port = new FakePort(name);
        ports.push(port);
        return port;
      },
      getManifest: () => ({ version: '1.0' }),
      lastError: undefined,
    },
    windows: {
      onCreated: event(), onRemoved: event(), onFocusChanged: event(),
      async getAll({ populate } = {}) {
        return [...windows.values()].map((w) => ({ ...windowOf(w),
          tabs: populate ? w.tabs.map((id) => clone(tabs.get(id).info)) : undefined }));
      },
      async get(id) {
        const w = windows.get(id);
        return w ? windowOf(w) : notFound('window', id);
      },
      async update(id, change) {
        calls.push(['windows.update', id, clone(change)]);
        const w = windows.get(id);
        if (!w)
          return notFound('window', id);
        if (change.state && change.state !== 'normal' &&
          ['left', 'top', 'width', 'height'].some((k) => k in change))
          throw new Error('Invalid value for state');
        const before = windowOf(w);
        // Like a real one, the window manager acts after the call has resolved.
        clock.setTimeout(() => browser.wm(w.info, clone(change)), wmDelayMs);
        return before;
      },
      async create(info) {
        calls.push(['windows.create', clone(info)]);
        const id = browser.addWindow({ left: info.left ?? 0, top: info.top ?? 0,
          width: info.width ?? 640, height: info.height ?? 480 }, [{ url: info.url ?? 'about:blank' }]);
        const w = windows.get(id);
        return { ...windowOf(w), tabs: w.tabs.map((t) => clone(tabs.get(t).info)) };
      },
      async remove(id) {
        calls.push(['windows.remove', id]);
        if (!windows.delete(id))
          return notFound('window', id);
      },
    },
    tabs: {
      onCreated: event(), onUpdated: event(), onRemoved: event(), onActivated: event(),
      onMoved: event(), onAttached: event(), onDetached: event(),
      async get(id) {
        const t = tabs.get(id);
        return t ? clone(t.info) : notFound('tab', id);
      },
      async query({ windowId }) {
        return (windows.get(windowId)?.tabs ?? []).map((id) => clone(tabs.get(id).info));
      },
      async update(id, change) {
        calls.push(['tabs.update', id, clone(change)]);
        const t = tabs.get(id);
        if (!t)
          return notFound('tab', id);
        Object.assign(t.info, change);
        return clone(t.info);
      },
      async remove(id) {
        calls.push(['tabs.remove', id]);
        if (!tabs.delete(id))
          return notFound('tab', id);
      },
      async setZoom(id, factor) {
        const t = tabs.get(id);
        if (!t)
          return notFound('tab', id);
        t.zoom = factor;
      },
      async getZoom(id) {
        const t = tabs.get(id);
        return t ? t.zoom : notFound('tab', id);
      },
    },
    scripting: {
      async executeScript({ target, func, args }) {
        calls.push(['scripting.executeScript', clone(target), func.name, clone(args)]);
        const t = tabs.get(target.tabId);
        if (!t)
          return notFound('tab', target.tabId);
        if (browser.hangScripts)
          return new Promise(() => {});
        const frames = target.allFrames ? t.frames
          : t.frames.filter((f) => target.frameIds.includes(f.frameId));
        // The function is serialised by a real browser: run it from its source, so
        // that one that leans on anything outside itself fails here too.
        const source = func.toString();
        return frames.map((f) => {
          const run = new Function('document', 'window', 'location', 'history', 'performance',
            'HTMLBodyElement', `return (${source})(...arguments[6]);`);
          const p = f.page;
          const result = run(p.document, p.window, p.location, p.history, p.performance,
            p.HTMLBodyElement ?? class {}, clone(args));
          return { frameId: f.frameId, result: clone(result) };
        });
      },
      async insertCSS(injection) {
        calls.push(['scripting.insertCSS', clone(injection)]);
      },
      async removeCSS(injection) {
        calls.push(['scripting.removeCSS', clone(injection)]);
      },
    },
  };
  if (firefox)
    api.runtime.getBrowserInfo = async () => ({ name: 'Firefox', vendor: 'Mozilla', version: '153.8.0' });
  else
    api.windows.onBoundsChanged = event();
  browser.api = api;
  return browser;
}
