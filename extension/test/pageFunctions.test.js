import assert from 'node:assert/strict';
import { test } from 'node:test';

import { MAX_ADDRESS, MAX_ITEMS, MAX_TITLE } from '../src/checked.js';
import { PAGE_FUNCTIONS } from '../src/pageFunctions.js';
import { FakeClock, fakeBrowser } from './fake.js';
import { Requests } from '../src/requests.js';

class Body {}

// A page as the functions see it in one frame.
function page({ title = 'Page', url = 'http://site.test/', images = [], links = [], resources = [],
  body = true, win = {}, extra = {} } = {}) {
  const document = {
    readyState: 'complete', title, visibilityState: 'visible', referrer: '', cookie: 'a=1',
    lastModified: '01/02/2024 03:04:05', scripts: [1], styleSheets: [], forms: [], anchors: [],
    images, links, fgColor: '#000000', linkColor: '#0000ee', alinkColor: '#ff0000',
    vlinkColor: '#551a8b', bgColor: '#ffffff', body: body ? Object.assign(new Body(), {
      background: '', style: { fontSize: '' } }) : null, ...extra,
  };
  const window = { frames: { length: 0 }, name: '', ...win };
  window.parent ??= window;
  return { document, window, location: { href: url }, history: { length: 2 },
    performance: { getEntriesByType: () => resources }, HTMLBodyElement: Body };
}

async function run(frames, fn, args, target = {}) {
  const clock = new FakeClock();
  const browser = fakeBrowser({ clock });
  const windowId = browser.addWindow({}, []);
  const tabId = browser.addTab(windowId, { frames });
  const requests = new Requests(browser.api, clock);
  return clock.run(requests.handle('page.run', { tabId, fn, args, ...target }));
}

test('the list and report values of a page, capped and checked', async () => {
  const long = 'T'.repeat(MAX_TITLE + 10);
  const { frames } = await run([{ frameId: 0, page: page({ title: long }) }], 'list');
  assert.equal(frames[0].result.title.length, MAX_TITLE);
  assert.equal(frames[0].result.readyState, 'complete');
  assert.equal(frames[0].result.visibility, 'visible');

  const report = (await run([{ frameId: 0, page: page() }], 'report')).frames[0].result;
  assert.equal(report.cookie, 'a=1');
  assert.equal(report.scripts, 1);
  assert.equal(report.historyLength, 2);
  assert.equal(report.location, 'http://site.test/');
});

test('a page whose DOM throws or lies gives an error or a safe value, never a crash', async () => {
  const throwing = page();
  Object.defineProperty(throwing.document, 'title', { get() { throw new Error('nope'); } });
  const lying = page({ extra: { readyState: 'sleeping', scripts: { length: -3 } } });
  lying.window.frames = { length: 'many' };
  const { frames } = await run([{ frameId: 0, page: throwing }, { frameId: 3, page: lying }],
    'report', undefined, { allFrames: true });
  assert.deepEqual(frames[0], { frameId: 0, error: 'nope' });
  assert.equal(frames[1].result.scripts, 0);
  const list = (await run([{ frameId: 0, page: lying }], 'list')).frames[0].result;
  assert.equal(list.readyState, 'loading');
  assert.equal(list.frames, 0);
});

test('images and links come as arrays with sizes, capped with a count of the rest', async () => {
  const images = [{ src: 'http://site.test/a.png' }, { src: 'http://other.test/b.png' }];
  const resources = [{ name: 'http://site.test/a.png', decodedBodySize: 1234 },
    { name: 'http://other.test/b.png', decodedBodySize: 0, encodedBodySize: 0 }];
  const links = [{ innerHTML: 'bee <b>bold</b>', href: 'http://site.test/b.html' }];
  const p = page({ images, resources, links });
  const shown = (await run([{ frameId: 0, page: p }], 'images')).frames[0].result;
  assert.deepEqual(shown, { items: [{ src: 'http://site.test/a.png', size: 1234 },
    { src: 'http://other.test/b.png' }], omitted: 0 });
  const linked = (await run([{ frameId: 0, page: p }], 'links')).frames[0].result;
  assert.deepEqual(linked.items, [{ html: 'bee <b>bold</b>', href: 'http://site.test/b.html' }]);

  const many = Array.from({ length: MAX_ITEMS + 5 }, (_, i) => ({ src: `http://site.test/${i}.png` }));
  const capped = (await run([{ frameId: 0, page: page({ images: many }) }], 'images')).frames[0].result;
  assert.equal(capped.items.length, MAX_ITEMS);
  assert.equal(capped.omitted, 5);

  // Huge addresses: each is cut, and the call's budget stops the list early.
  const huge = Array.from({ length: 1000 }, () => ({ src: 'x'.repeat(MAX_ADDRESS * 2) }));
  const budgeted = (await run([{ frameId: 0, page: page({ images: huge }) }], 'images')).frames[0].result;
  assert.equal(budgeted.items[0].src.length, MAX_ADDRESS);
  assert.ok(budgeted.items.length < 1000);
  assert.equal(budgeted.items.length + budgeted.omitted, 1000);
});

test('an image or link that cannot be read keeps its place, and those after it theirs', async () => {
  const throwingLink = { href: 'http://site.test/1.html' };
  Object.defineProperty(throwingLink, 'innerHTML', { get() { throw new Error('no markup'); } });
  const throwingImage = {};
  Object.defineProperty(throwingImage, 'src', { get() { throw new Error('no address'); } });
  const links = [{ innerHTML: 'zero', href: 'http://site.test/0.html' }, throwingLink,
    { innerHTML: 'two', href: 'http://site.test/2.html' }];
  const images = [throwingImage, { src: 'http://site.test/b.png' }];
  const p = page({ images, links });
  const linked = (await run([{ frameId: 0, page: p }], 'links')).frames[0].result;
  assert.deepEqual(linked, { items: [{ html: 'zero', href: 'http://site.test/0.html' },
    { href: 'http://site.test/1.html' }, { html: 'two', href: 'http://site.test/2.html' }],
  omitted: 0 });
  const shown = (await run([{ frameId: 0, page: p }], 'images')).frames[0].result;
  assert.deepEqual(shown, { items: [{}, { src: 'http://site.test/b.png' }], omitted: 0 });
});

test('each frame tells its address, name and place among its parent\'s frames', async () => {
  const top = page({ url: 'http://site.test/frames.html' });
  const left = page({ url: 'http://site.test/a.html', win: { name: 'left' } });
  const right = page({ url: 'http://other.test/b.html', win: { name: 'right' } });
  const inner = page({ url: 'http://other.test/c.html', win: { name: 'inner' } });
  const topWindow = top.window;
  left.window.parent = topWindow;
  right.window.parent = topWindow;
  inner.window.parent = right.window;
  Object.assign(topWindow, { length: 2, 0: left.window, 1: right.window });
  Object.assign(right.window, { length: 1, 0: inner.window });
  const big = 2 ** 33 + 1;
  const { frames } = await run([{ frameId: 0, page: top }, { frameId: big, page: inner },
    { frameId: 9, page: right }, { frameId: 4, page: left }], 'frame', undefined, { allFrames: true });
  assert.deepEqual(frames.map((f) => [f.frameId, f.result.name, f.result.path]),
    [[0, '', []], [4, 'left', [0]], [9, 'right', [1]], [big, 'inner', [1, 0]]]);
});

test('colours, background and font size are written and read back; no body is an error', async () => {
  const p = page();
  const colors = (await run([{ frameId: 0, page: p }], 'colors', { bgColor: '#102030' })).frames[0].result;
  assert.equal(colors.bgColor, '#102030');
  assert.equal(colors.fgColor, '#000000');
  assert.equal((await run([{ frameId: 0, page: p }], 'fontSize', { value: '20pt' })).frames[0].result, '20pt');
  assert.equal(p.document.body.style.fontSize, '20pt');
  assert.equal((await run([{ frameId: 0, page: p }], 'background', {})).frames[0].result, '');
  const frameset = page({ body: false });
  assert.deepEqual((await run([{ frameId: 0, page: frameset }], 'fontSize')).frames[0],
    { frameId: 0, error: 'the document has no body' });
});

test('only functions of the table run, with arguments of the right kind', async () => {
  for (const [fn, args] of [['eval', undefined], ['toString', undefined], ['constructor', undefined],
    [{ name: 'list' }, undefined], ['fontSize', { value: 12 }], ['colors', { bgColor: 'x'.repeat(100) }],
    ['list', ['a']]]) {
    await assert.rejects(run([{ frameId: 0, page: page() }], fn, args), { code: 'badRequest' },
      JSON.stringify(fn));
  }
  for (const entry of Object.values(PAGE_FUNCTIONS))
    assert.equal(typeof entry.func, 'function');
});
