import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Requests } from '../src/requests.js';
import { FakeClock, fakeBrowser } from './fake.js';

function setUp(options = {}) {
  const clock = new FakeClock();
  const browser = fakeBrowser({ clock, ...options });
  const requests = new Requests(browser.api, clock);
  const call = (method, params) => clock.run(requests.handle(method, params));
  return { clock, browser, requests, call };
}

test('window.update restores a maximised window before moving it, and answers once the window manager has acted', async () => {
  const { browser, call } = setUp();
  const id = browser.addWindow({ state: 'maximized' });
  const reply = await call('window.update', { windowId: id, left: 100, top: 50, width: 700, height: 500 });
  assert.equal(reply.settled, true);
  assert.deepEqual([reply.window.state, reply.window.left, reply.window.top, reply.window.width,
    reply.window.height], ['normal', 100, 50, 700, 500]);
  assert.deepEqual(browser.calls.map((c) => c[2]), [{ state: 'normal' },
    { left: 100, top: 50, width: 700, height: 500 }]);

  // Bounds and a state other than normal: the bounds first, then the state.
  const both = await call('window.update', { windowId: id, width: 600, state: 'minimized' });
  assert.equal(both.window.state, 'minimized');
  assert.equal(both.window.width, 600);
  assert.deepEqual(browser.calls.slice(2).map((c) => c[2]), [{ width: 600 }, { state: 'minimized' }]);
});

test('a window the window manager will not put where asked is answered as it is, soon, unsettled', async () => {
  const { browser, clock, call } = setUp();
  const id = browser.addWindow();
  browser.wm = (w, change) => Object.assign(w, change, { width: Math.max(508, change.width ?? w.width) });
  const start = clock.now();
  const reply = await call('window.update', { windowId: id, width: 300, settleMs: 5000 });
  assert.equal(reply.settled, false);
  assert.equal(reply.window.width, 508);
  assert.ok(clock.now() - start < 1000, 'waited for the whole deadline');
});

test('requests that name what is not there, or are malformed, say so with a code', async () => {
  const { browser, call } = setUp();
  const id = browser.addWindow();
  const cases = [
    ['no.such', {}, 'unknownMethod'],
    ['hasOwnProperty', {}, 'unknownMethod'],
    ['window.update', { windowId: id }, 'badRequest'],
    ['window.update', { windowId: id, state: 'tiny' }, 'badRequest'],
    ['window.update', { windowId: '1', state: 'normal' }, 'badRequest'],
    ['window.update', { windowId: 999, state: 'normal' }, 'noSuchWindow'],
    ['tab.remove', { tabId: 999 }, 'noSuchTab'],
    ['tab.navigate', { tabId: 999, url: 'http://a.test/' }, 'noSuchTab'],
    ['tab.navigate', { tabId: 2, url: ' JavaScript:alert(1)' }, 'badRequest'],
    ['tab.navigate', { tabId: 2, url: 'java\tscript:alert(1)' }, 'badRequest'],
    ['window.create', { url: 'java\nscript:alert(1)' }, 'badRequest'],
    ['tab.navigate', { tabId: 2, url: 'relative/page.html' }, 'badRequest'],
    ['tab.setZoom', { tabId: 2, factor: 50 }, 'badRequest'],
    ['page.run', { tabId: 2, fn: 'list', allFrames: true, frameId: 0 }, 'badRequest'],
    ['snapshot', [], 'badRequest'],
  ];
  for (const [method, params, code] of cases)
    await assert.rejects(call(method, params), { code }, `${method} ${JSON.stringify(params)}`);
});

test('a page that never answers ends the request at its deadline', async () => {
  const { browser, clock, call } = setUp();
  const id = browser.addWindow();
  browser.hangScripts = true;
  const tabId = browser.windows.get(id).tabs[0];
  const start = clock.now();
  await assert.rejects(call('page.run', { tabId, fn: 'list', timeoutMs: 300 }), { code: 'timeout' });
  assert.equal(clock.now() - start, 300);
});

test('a style sheet inserted again replaces the one before; removing twice is harmless', async () => {
  const { browser, call } = setUp();
  const tabId = browser.windows.get(browser.addWindow()).tabs[0];
  await call('tab.insertCSS', { tabId, css: 'body{color:red}' });
  await call('tab.insertCSS', { tabId, css: 'body{color:blue}', allFrames: true });
  assert.deepEqual(browser.calls.map((c) => [c[0], c[1].css]), [
    ['scripting.insertCSS', 'body{color:red}'],
    ['scripting.removeCSS', 'body{color:red}'],
    ['scripting.insertCSS', 'body{color:blue}']]);
  assert.deepEqual(await call('tab.removeCSS', { tabId }), { removed: true });
  // Taken away as it was put, a user sheet.
  assert.deepEqual(browser.calls.at(-1)[1],
    { target: { tabId, allFrames: true }, css: 'body{color:blue}', origin: 'USER' });
  assert.deepEqual(await call('tab.removeCSS', { tabId }), { removed: false });
});

test('window.create gives the new window and tab, in the state asked for', async () => {
  const { browser, clock, call } = setUp();
  const reply = await call('window.create', { url: 'http://a.test/', width: 640, height: 480, state: 'maximized' });
  assert.equal(browser.tabs.get(reply.tabId).info.windowId, reply.windowId);
  assert.deepEqual(browser.calls.map((c) => c[0]), ['windows.create', 'windows.update']);
  assert.deepEqual(browser.calls[0][1], { url: 'http://a.test/', width: 640, height: 480 });
  await clock.advance(200);
  assert.equal(browser.windows.get(reply.windowId).info.state, 'maximized');
});

test('tab.activate selects the tab and focuses its window', async () => {
  const { browser, call } = setUp();
  const id = browser.addWindow({ state: 'minimized' }, [{}, {}]);
  const second = browser.windows.get(id).tabs[1];
  const reply = await call('tab.activate', { tabId: second });
  assert.equal(reply.tab.active, true);
  assert.deepEqual(browser.calls.map((c) => c.slice(0, 3)), [
    ['tabs.update', second, { active: true }],
    ['windows.update', id, { focused: true }]]);
});
