import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Bridge, HOST_NAME } from '../src/bridge.js';
import { watchBrowser } from '../src/events.js';
import { readHello } from '../src/hello.js';
import { Requests } from '../src/requests.js';
import { FakeClock, fakeBrowser } from './fake.js';

function setUp(options = {}) {
  const clock = new FakeClock();
  const browser = fakeBrowser({ clock, ...options });
  const requests = new Requests(browser.api, clock);
  const bridge = new Bridge({ api: browser.api, clock, requests,
    hello: () => readHello(browser.api, options.navigator) });
  const names = watchBrowser(browser.api, (name, payload) => bridge.event(name, payload));
  bridge.start();
  const port = () => browser.ports.at(-1);
  return { clock, browser, bridge, names, port };
}

const types = (port) => port.posted.map((m) => m.type === 'event' ? m.name : m.type);

test('when Tabulon connects: hello, the snapshot, then the events that came meanwhile, in order', async () => {
  const { clock, browser, port } = setUp({ firefox: true });
  const windowId = browser.addWindow({}, [{ title: 'One', url: 'http://one.test/' }]);
  const api = browser.api;
  assert.equal(port().name, HOST_NAME);

  // Before Tabulon is there, nothing is sent.
  api.tabs.onActivated.fire({ tabId: 2, windowId });
  await clock.settle();
  assert.deepEqual(port().posted, []);

  port().deliver({ type: 'tabulon', connected: true });
  // An event while the snapshot is being read waits for it.
  api.tabs.onUpdated.fire(2, { title: 'Two' }, { ...browser.tabs.get(2).info, title: 'Two' });
  await clock.settle();
  api.windows.onRemoved.fire(windowId);
  await clock.settle();
  assert.deepEqual(types(port()), ['hello', 'snapshot', 'tabs.onUpdated', 'windows.onRemoved']);
  const [hello, snapshot, updated, removed] = port().posted;
  assert.deepEqual(hello, { type: 'hello', protocol: 1, product: 'Firefox', version: '153.8.0',
    userAgent: '', extension: '1.0' });
  assert.deepEqual(snapshot.windows.map((w) => w.id), [windowId]);
  assert.deepEqual(snapshot.tabs.map((t) => [t.id, t.windowId, t.title, t.url]),
    [[2, windowId, 'One', 'http://one.test/']]);
  assert.equal(updated.tab.title, 'Two');
  assert.deepEqual(removed, { type: 'event', name: 'windows.onRemoved', windowId });

  // Tabulon goes: events stop; it comes back: a fresh hello and snapshot.
  port().deliver({ type: 'tabulon', connected: false });
  api.tabs.onCreated.fire({ id: 7, windowId: 3, title: 'x' });
  port().deliver({ type: 'tabulon', connected: true });
  await clock.settle();
  assert.deepEqual(types(port()).slice(4), ['hello', 'snapshot']);
});

test('every browser event is listened to, with its payload in a fixed shape', async () => {
  const chromium = setUp();
  assert.ok(chromium.names.includes('windows.onBoundsChanged'));
  const firefox = setUp({ firefox: true });
  assert.ok(!firefox.names.includes('windows.onBoundsChanged'));
  assert.equal(firefox.names.length, chromium.names.length - 1);

  const { clock, browser, port } = chromium;
  port().deliver({ type: 'tabulon', connected: true });
  await clock.settle();
  const api = browser.api;
  api.windows.onBoundsChanged.fire({ id: 4, state: 'normal', left: 1, top: 2, width: 3, height: 4 });
  api.tabs.onRemoved.fire(5, { windowId: 4, isWindowClosing: true });
  api.tabs.onAttached.fire(5, { newWindowId: 6, newPosition: 2 });
  api.tabs.onDetached.fire(5, { oldWindowId: 4, oldPosition: 0 });
  api.windows.onFocusChanged.fire(-1);
  const events = port().posted.slice(2);
  assert.deepEqual(events[0].window.width, 3);
  assert.deepEqual(events.slice(1).map(({ type, name, ...rest }) => rest), [
    { tabId: 5, windowId: 4, windowClosing: true },
    { tabId: 5, windowId: 6, position: 2 },
    { tabId: 5, windowId: 4, position: 0 },
    { windowId: -1 }]);
});

test('requests are answered by id, errors with a code; a request without an id is dropped', async () => {
  const { clock, browser, port } = setUp();
  const windowId = browser.addWindow();
  port().deliver({ type: 'request', id: 1, method: 'snapshot' });
  port().deliver({ type: 'request', id: 2, method: 'window.remove', params: { windowId: 99 } });
  port().deliver({ type: 'request', method: 'snapshot' });
  port().deliver({ type: 'request', id: -4, method: 'snapshot' });
  port().deliver('not an object');
  port().deliver(null);
  await clock.settle();
  const replies = port().posted;
  assert.equal(replies.length, 2);
  assert.deepEqual(replies[0].result.windows.map((w) => w.id), [windowId]);
  assert.deepEqual(replies[1], { type: 'reply', id: 2, error: { code: 'noSuchWindow', message: 'no window 99' } });
});

test('an answer too large for the port is replaced by an error', async () => {
  const { clock, browser, port } = setUp();
  const windowId = browser.addWindow({}, []);
  const links = Array.from({ length: 10000 }, (_, i) => ({ innerHTML: `${i}`.padEnd(5000, '日'), href: 'h' }));
  const document = { links };
  const tabId = browser.addTab(windowId, { frames: Array.from({ length: 5 }, (_, i) =>
    ({ frameId: i, page: { document } })) });
  port().deliver({ type: 'request', id: 9, method: 'page.run', params: { tabId, fn: 'links', allFrames: true } });
  await clock.run(new Promise((resolve) => setTimeout(resolve, 50)));
  assert.deepEqual(port().posted, [{ type: 'reply', id: 9,
    error: { code: 'tooLarge', message: 'the answer is too large to send' } }]);
});

test('the host going away is retried with a growing wait, and a steady connection starts it over', async () => {
  const { clock, browser, port } = setUp();
  const gaps = [];
  let last = clock.now();
  for (let i = 0; i < 8; i++) {
    port().drop();
    const count = browser.ports.length;
    await clock.run(new Promise((resolve) => {
      const check = () => browser.ports.length > count ? resolve() : setImmediate(check);
      check();
    }));
    gaps.push(clock.now() - last);
    last = clock.now();
  }
  assert.deepEqual(gaps, [1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000]);
  await clock.advance(15000);
  port().drop();
  await clock.advance(999);
  const count = browser.ports.length;
  await clock.advance(1);
  assert.equal(browser.ports.length, count + 1);
});

test('a Chromium-family browser names itself from its brands', async () => {
  const clock = new FakeClock();
  const browser = fakeBrowser({ clock });
  const navigator = { userAgent: 'Mozilla/5.0 Chrome/156', userAgentData: {
    brands: [{ brand: 'Chromium', version: '156' }],
    getHighEntropyValues: async () => ({ fullVersionList: [{ brand: 'Not=A?Brand', version: '99.0.0.0' },
      { brand: 'Chromium', version: '156.0.8078.129' }, { brand: 'Brave', version: '156.1.2' }] }),
  } };
  const hello = await readHello(browser.api, navigator);
  assert.deepEqual([hello.product, hello.version, hello.userAgent], ['Brave', '156.1.2', 'Mozilla/5.0 Chrome/156']);
  navigator.userAgentData.getHighEntropyValues = async () => { throw new Error('no'); };
  assert.deepEqual([(await readHello(browser.api, navigator)).product], ['Chromium']);
});
