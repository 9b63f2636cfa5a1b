// The browser's window and tab events, each told to Tabulon in a fixed shape so its
// model of windows and tabs needs no polling. An event may repeat what a snapshot
// already showed: the receiver applies them as replacements and removals by id.
import { readBoolean, readId, readInteger } from './checked.js';
import { describeTab, describeWindow } from './describe.js';

const position = (v) => readInteger(v, 0, 0x7fffffff, 0);

// [namespace, event, shape of the payload]
const EVENTS = [
  ['windows', 'onCreated', (w) => ({ window: describeWindow(w) })],
  ['windows', 'onRemoved', (windowId) => ({ windowId: readId(windowId) })],
  ['windows', 'onFocusChanged', (windowId) => ({ windowId: readId(windowId) })],
  ['windows', 'onBoundsChanged', (w) => ({ window: describeWindow(w) })],
  ['tabs', 'onCreated', (t) => ({ tab: describeTab(t) })],
  ['tabs', 'onUpdated', (tabId, change, t) => ({ tab: describeTab({ ...t, id: tabId }) })],
  ['tabs', 'onRemoved', (tabId, info) => ({
    tabId: readId(tabId), windowId: readId(info?.windowId),
    windowClosing: readBoolean(info?.isWindowClosing, false),
  })],
  ['tabs', 'onActivated', (info) => ({ tabId: readId(info?.tabId), windowId: readId(info?.windowId) })],
  ['tabs', 'onMoved', (tabId, info) => ({
    tabId: readId(tabId), windowId: readId(info?.windowId),
    fromIndex: position(info?.fromIndex), toIndex: position(info?.toIndex),
  })],
  ['tabs', 'onAttached', (tabId, info) => ({
    tabId: readId(tabId), windowId: readId(info?.newWindowId), position: position(info?.newPosition),
  })],
  ['tabs', 'onDetached', (tabId, info) => ({
    tabId: readId(tabId), windowId: readId(info?.oldWindowId), position: position(info?.oldPosition),
  })],
];

// Listens to every event the browser has (Firefox has no windows.onBoundsChanged)
// and hands each on as (name, payload). Must run while the background script first
// runs, so that an event can wake a stopped service worker.
export function watchBrowser(api, send) {
  const names = [];
  for (const [namespace, event, shape] of EVENTS) {
    const target = api[namespace]?.[event];
    if (!target?.addListener)
      continue;
    const name = `${namespace}.${event}`;
    target.addListener((...args) => send(name, shape(...args)));
    names.push(name);
  }
  return names;
}
