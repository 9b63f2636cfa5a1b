// Tabulon's requests: one method a name, each reading its parameters through the
// checked readers and answering with plain values.
import {
  BridgeError, MAX_ADDRESS, badRequest, optionalBoolean, optionalChoice, optionalInteger, readId, readString, requireId, requireString,
} from './checked.js';
import { describeTab, describeWindow, readSnapshot } from './describe.js';
import { PAGE_FUNCTIONS } from './pageFunctions.js';

const MAX_CSS = 512 * 1024;
const COORDINATE = 1 << 20;
const SETTLE_POLL_MS = 25;
// A window that has not changed for this long has been left where the window
// manager wants it, even when that is not where it was asked to go.
const SETTLE_QUIET_MS = 500;

function sleep(clock, ms) {
  return new Promise((resolve) => clock.setTimeout(resolve, ms));
}

function sameBounds(a, b) {
  return a.state === b.state && a.left === b.left && a.top === b.top && a.width === b.width &&
    a.height === b.height && a.focused === b.focused;
}

function checkedUrl(params) {
  const url = requireString(params, 'url', MAX_ADDRESS);
  // Read the address as the browser will (it drops tabs and line breaks anywhere, so
  // "java\tscript:" is javascript:): code in an address would run with the page's rights.
  let parsed;
  try {
    parsed = new URL(url);
  } catch {
    throw badRequest('url must be an absolute address');
  }
  if (parsed.protocol === 'javascript:')
    throw badRequest('javascript: addresses are not opened');
  return url;
}

export class Requests {
  constructor(api, clock) {
    this.api = api;
    this.clock = clock;
    // The style sheet last inserted in each tab, so the next one replaces it.
    this.sheets = new Map();
    this.methods = {
      'snapshot': () => readSnapshot(this.api),
      'window.update': (p) => this.updateWindow(p),
      'window.create': (p) => this.createWindow(p),
      'window.remove': (p) => this.removeWindow(p),
      'tab.activate': (p) => this.activateTab(p),
      'tab.remove': (p) => this.removeTab(p),
      'tab.navigate': (p) => this.navigateTab(p),
      'tab.setZoom': (p) => this.setZoom(p),
      'tab.getZoom': (p) => this.getZoom(p),
      'tab.insertCSS': (p) => this.insertCss(p),
      'tab.removeCSS': (p) => this.removeCss(p),
      'page.run': (p) => this.runInPage(p),
    };
  }

  // Answers one request, or throws: BridgeError for what the request or the target
  // got wrong, anything else for a browser that refused.
  async handle(method, params) {
    const run = typeof method === 'string' && Object.hasOwn(this.methods, method)
      ? this.methods[method] : null;
    if (!run)
      throw new BridgeError('unknownMethod', `no method ${readString(method, 64, '?')}`);
    if (params !== undefined && (typeof params !== 'object' || params === null || Array.isArray(params)))
      throw badRequest('params must be an object');
    const limit = optionalInteger(params, 'timeoutMs', 1, 60000) ?? 5000;
    let timer;
    const deadline = new Promise((_, reject) => {
      timer = this.clock.setTimeout(
        () => reject(new BridgeError('timeout', `${method} did not finish in ${limit} ms`)), limit);
    });
    try {
      return await Promise.race([this.explain(run(params ?? {}), params ?? {}), deadline]);
    } finally {
      this.clock.clearTimeout(timer);
    }
  }

  // A browser call that failed on a tab or window that is no longer there says so.
  async explain(work, params) {
    try {
      return await work;
    } catch (e) {
      if (e instanceof BridgeError)
        throw e;
      const tabId = readId(params.tabId);
      const windowId = readId(params.windowId);
      if (tabId !== null && !(await this.exists(() => this.api.tabs.get(tabId))))
        throw new BridgeError('noSuchTab', `no tab ${tabId}`);
      if (windowId !== null && !(await this.exists(() => this.api.windows.get(windowId))))
        throw new BridgeError('noSuchWindow', `no window ${windowId}`);
      throw e;
    }
  }

  async exists(get) {
    try {
      await get();
      return true;
    } catch {
      return false;
    }
  }

  forgetTab(tabId) {
    this.sheets.delete(tabId);
  }

  async readWindow(id) {
    return describeWindow(await this.api.windows.get(id));
  }

  // Reads the window until it is as wanted, has stopped changing, or time is up:
  // windows.update resolves before the window manager has acted.
  async settle(id, wanted, until) {
    // The state often changes a moment before the bounds that go with it: a window
    // counts as settled once it is as wanted on two reads in a row.
    let window = await this.readWindow(id);
    let steady = false;
    let quietSince = this.clock.now();
    while (!(steady && wanted(window)) && this.clock.now() < until &&
      this.clock.now() - quietSince < SETTLE_QUIET_MS) {
      await sleep(this.clock, SETTLE_POLL_MS);
      const next = await this.readWindow(id);
      steady = sameBounds(next, window);
      if (!steady)
        quietSince = this.clock.now();
      window = next;
    }
    return { window, settled: wanted(window) };
  }

  async updateWindow(p) {
    const id = requireId(p, 'windowId');
    const state = optionalChoice(p, 'state', ['normal', 'minimized', 'maximized', 'fullscreen']);
    const focused = optionalBoolean(p, 'focused');
    const bounds = {};
    for (const name of ['left', 'top'])
      bounds[name] = optionalInteger(p, name, -COORDINATE, COORDINATE);
    for (const name of ['width', 'height'])
      bounds[name] = optionalInteger(p, name, 1, COORDINATE);
    for (const name of Object.keys(bounds)) {
      if (bounds[name] === undefined)
        delete bounds[name];
    }
    const hasBounds = Object.keys(bounds).length > 0;
    if (!hasBounds && state === undefined && focused === undefined)
      throw badRequest('window.update needs state, bounds or focused');
    const until = this.clock.now() + (optionalInteger(p, 'settleMs', 0, 10000) ?? 2000);
    const boundsMatch = (w) => Object.entries(bounds).every(([k, v]) => w[k] === v);

    // Bounds apply only to a normal window: restore it first, then move it, then
    // give it the state asked for.
    if (hasBounds) {
      const before = await this.readWindow(id);
      if (before.state !== 'normal') {
        await this.api.windows.update(id, { state: 'normal' });
        await this.settle(id, (w) => w.state === 'normal', until);
      }
      await this.api.windows.update(id, bounds);
    }
    if (state !== undefined || focused !== undefined) {
      const change = {};
      if (state !== undefined)
        change.state = state;
      if (focused !== undefined && state !== 'minimized')
        change.focused = focused;
      await this.api.windows.update(id, change);
    }
    const finalState = state ?? (hasBounds ? 'normal' : undefined);
    return this.settle(id, (w) =>
      (finalState === undefined || w.state === finalState) &&
      (!hasBounds || finalState !== 'normal' || boundsMatch(w)) &&
      (focused === undefined || state === 'minimized' || w.focused === focused), until);
  }

  async createWindow(p) {
    const create = {};
    if (p.url !== undefined)
      create.url = checkedUrl(p);
    for (const name of ['left', 'top'])
      create[name] = optionalInteger(p, name, -COORDINATE, COORDINATE);
    for (const name of ['width', 'height'])
      create[name] = optionalInteger(p, name, 1, COORDINATE);
    create.focused = optionalBoolean(p, 'focused');
    for (const name of Object.keys(create)) {
      if (create[name] === undefined)
        delete create[name];
    }
    const state = optionalChoice(p, 'state', ['normal', 'minimized', 'maximized', 'fullscreen']);
    let created = await this.api.windows.create(create);
    const windowId = readId(created?.id);
    if (windowId === null)
      throw new BridgeError('browser', 'the browser made no window');
    // A window is made in the normal state with its bounds; any other state after.
    if (state !== undefined && state !== 'normal')
      created = await this.api.windows.update(windowId, { state });
    let tabId = readId(created?.tabs?.[0]?.id);
    if (tabId === null) {
      const tabs = await this.api.tabs.query({ windowId });
      tabId = readId(tabs?.[0]?.id);
    }
    return { windowId, tabId, window: describeWindow(created) };
  }

  async removeWindow(p) {
    await this.api.windows.remove(requireId(p, 'windowId'));
    return {};
  }

  async activateTab(p) {
    const tabId = requireId(p, 'tabId');
    const tab = await this.api.tabs.update(tabId, { active: true });
    const windowId = readId(tab?.windowId);
    // Focusing a minimised window brings it back in the state it had before, in
    // Chromium and Firefox alike.
    if (windowId !== null)
      await this.api.windows.update(windowId, { focused: true });
    return { tab: describeTab(tab) };
  }

  async removeTab(p) {
    const tabId = requireId(p, 'tabId');
    await this.api.tabs.remove(tabId);
    this.forgetTab(tabId);
    return {};
  }

  async navigateTab(p) {
    const tabId = requireId(p, 'tabId');
    const tab = await this.api.tabs.update(tabId, { url: checkedUrl(p) });
    return { tab: describeTab(tab) };
  }

  async setZoom(p) {
    const tabId = requireId(p, 'tabId');
    const factor = p.factor;
    if (typeof factor !== 'number' || !(factor >= 0.3 && factor <= 5))
      throw badRequest('factor must be a number from 0.3 to 5');
    await this.api.tabs.setZoom(tabId, factor);
    return { factor: await this.api.tabs.getZoom(tabId) };
  }

  async getZoom(p) {
    return { factor: await this.api.tabs.getZoom(requireId(p, 'tabId')) };
  }

  target(p) {
    const tabId = requireId(p, 'tabId');
    const allFrames = optionalBoolean(p, 'allFrames') ?? false;
    if (p.frameId !== undefined) {
      if (allFrames)
        throw badRequest('allFrames and frameId exclude each other');
      const frameId = readId(p.frameId);
      if (frameId === null || frameId < 0)
        throw badRequest('frameId must be a browser id');
      return { tabId, frameIds: [frameId] };
    }
    return allFrames ? { tabId, allFrames: true } : { tabId, frameIds: [0] };
  }

  async insertCss(p) {
    const target = this.target(p);
    const css = requireString(p, 'css', MAX_CSS);
    await this.removeCss(p);
    // A user sheet: its !important rules win over the page's, whatever their selectors.
    const sheet = { target, css, origin: 'USER' };
    await this.api.scripting.insertCSS(sheet);
    this.sheets.set(target.tabId, sheet);
    return {};
  }

  async removeCss(p) {
    const tabId = requireId(p, 'tabId');
    const sheet = this.sheets.get(tabId);
    if (!sheet)
      return { removed: false };
    this.sheets.delete(tabId);
    try {
      await this.api.scripting.removeCSS(sheet);
    } catch {
      // The page it went into has gone; so has the sheet.
    }
    return { removed: true };
  }

  async runInPage(p) {
    const target = this.target(p);
    const name = p.fn;
    const entry = typeof name === 'string' && Object.hasOwn(PAGE_FUNCTIONS, name)
      ? PAGE_FUNCTIONS[name] : null;
    if (!entry)
      throw badRequest(`no page function ${readString(name, 64, '?')}`);
    if (p.args !== undefined && (typeof p.args !== 'object' || p.args === null || Array.isArray(p.args)))
      throw badRequest('args must be an object');
    const args = entry.args(p.args ?? {});
    const results = await this.api.scripting.executeScript({ target, func: entry.func, args });
    const frames = [];
    for (const r of Array.isArray(results) ? results.slice(0, 1000) : []) {
      const frameId = readId(r?.frameId);
      if (frameId === null)
        continue;
      const answer = r.result;
      if (answer && typeof answer === 'object' && typeof answer.error === 'string') {
        frames.push({ frameId, error: readString(answer.error, 1024) });
        continue;
      }
      const value = answer && typeof answer === 'object' ? entry.check(answer.value) : null;
      if (value === null)
        frames.push({ frameId, error: r?.error ? readString(String(r.error?.message ?? r.error), 1024) : 'no usable answer' });
      else
        frames.push({ frameId, result: value });
    }
    frames.sort((a, b) => a.frameId - b.frameId);
    return { frames };
  }
}
