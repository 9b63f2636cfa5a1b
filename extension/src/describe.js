// What Tabulon is told about a window or a tab: a few fields, each checked, so a
// page's title or address reaches it capped and well-formed.
import { MAX_ADDRESS, MAX_TITLE, readBoolean, readChoice, readId, readInteger, readString }
  from './checked.js';

const WINDOW_STATES = ['normal', 'minimized', 'maximized', 'fullscreen', 'locked-fullscreen'];
const WINDOW_TYPES = ['normal', 'popup', 'panel', 'app', 'devtools'];
const TAB_STATUS = ['loading', 'complete', 'unloaded'];
const COORDINATE = 1 << 24;

export function describeWindow(w) {
  return {
    id: readId(w?.id),
    type: readChoice(w?.type, WINDOW_TYPES, 'normal'),
    state: readChoice(w?.state, WINDOW_STATES, 'normal'),
    focused: readBoolean(w?.focused, false),
    incognito: readBoolean(w?.incognito, false),
    left: readInteger(w?.left, -COORDINATE, COORDINATE),
    top: readInteger(w?.top, -COORDINATE, COORDINATE),
    width: readInteger(w?.width, 0, COORDINATE),
    height: readInteger(w?.height, 0, COORDINATE),
  };
}

export function describeTab(t) {
  return {
    id: readId(t?.id),
    windowId: readId(t?.windowId),
    index: readInteger(t?.index, 0, 0x7fffffff, 0),
    active: readBoolean(t?.active, false),
    status: readChoice(t?.status, TAB_STATUS, 'complete'),
    title: readString(t?.title, MAX_TITLE, ''),
    url: readString(t?.url ?? t?.pendingUrl, MAX_ADDRESS, ''),
    incognito: readBoolean(t?.incognito, false),
  };
}

// Every window and tab, from one windows.getAll: the windows in the browser's order,
// the tabs window by window in their strip order.
export async function readSnapshot(api) {
  const all = await api.windows.getAll({ populate: true });
  const windows = [];
  const tabs = [];
  for (const w of Array.isArray(all) ? all : []) {
    const window = describeWindow(w);
    if (window.id === null)
      continue;
    windows.push(window);
    for (const t of Array.isArray(w.tabs) ? w.tabs : []) {
      const tab = describeTab(t);
      if (tab.id !== null && tab.id >= 0)
        tabs.push(tab);
    }
  }
  return { windows, tabs };
}
