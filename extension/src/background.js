// The extension's background: Chromium runs it as a module service worker, Firefox
// as a module background script.
import { Bridge } from './bridge.js';
import { watchBrowser } from './events.js';
import { readHello } from './hello.js';
import { Requests } from './requests.js';

const api = globalThis.browser ?? globalThis.chrome;
const clock = {
  now: () => Date.now(),
  setTimeout: (f, ms) => setTimeout(f, ms),
  clearTimeout: (t) => clearTimeout(t),
};
const requests = new Requests(api, clock);
const bridge = new Bridge({
  api,
  clock,
  requests,
  hello: () => readHello(api, globalThis.navigator),
  log: (text) => console.warn(`Tabulon bridge: ${text}`),
});

watchBrowser(api, (name, payload) => {
  if (name === 'tabs.onRemoved')
    requests.forgetTab(payload.tabId);
  bridge.event(name, payload);
});
bridge.start();
