// The only code the extension runs in pages: a fixed table of functions, chosen by
// name. Nothing from a request is ever turned into code; a request names an entry and
// hands it values, which reach the function as arguments of executeScript.
//
// Each function runs in the extension's isolated world (executeScript's default world,
// ISOLATED): the page's own scripts cannot replace what it calls, but every value it
// reads from the DOM is still the page's, so each is capped here and checked again by
// the readers in `check` before it leaves the extension. The functions are serialised
// by the browser: they may use nothing from this module, only their arguments. They
// never throw: they answer {value} or {error}.
import {
  MAX_ADDRESS, MAX_ITEMS, MAX_TEXT, MAX_TITLE, badRequest, readChoice, readCount, readInteger, readString,
} from './checked.js';

// How many characters one call's arrays may gather before the rest is only counted.
export const ITEM_BUDGET = 4 * 1024 * 1024;

const COLOR_NAMES = ['fgColor', 'linkColor', 'alinkColor', 'vlinkColor', 'bgColor'];
const MAX_COLOR = 64;
const MAX_STYLE = 256;

function pageList(maxTitle, maxAddress) {
  try {
    return {
      value: {
        readyState: document.readyState,
        title: String(document.title).slice(0, maxTitle),
        frames: window.frames.length,
        visibility: document.visibilityState,
        url: String(location.href).slice(0, maxAddress),
      },
    };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageReport(maxTitle, maxAddress) {
  try {
    const d = document;
    return {
      value: {
        title: String(d.title).slice(0, maxTitle),
        referrer: String(d.referrer).slice(0, maxAddress),
        cookie: String(d.cookie).slice(0, maxTitle),
        lastModified: String(d.lastModified).slice(0, 64),
        scripts: d.scripts.length,
        styleSheets: d.styleSheets.length,
        forms: d.forms.length,
        anchors: d.anchors.length,
        images: d.images.length,
        links: d.links.length,
        historyLength: history.length,
        location: String(location.href).slice(0, maxAddress),
      },
    };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageImages(maxItems, maxAddress, budget) {
  try {
    // Byte sizes come from the page's resource timing, where it has them (a
    // cross-origin image without Timing-Allow-Origin reads as 0: left out).
    const sizes = new Map();
    for (const entry of performance.getEntriesByType('resource')) {
      const size = entry.decodedBodySize || entry.encodedBodySize || 0;
      if (size > 0 && !sizes.has(entry.name))
        sizes.set(entry.name, size);
    }
    const images = document.images;
    const items = [];
    let used = 0;
    let omitted = 0;
    for (let i = 0; i < images.length; i++) {
      if (items.length >= maxItems || used >= budget) {
        omitted = images.length - i;
        break;
      }
      // An image whose address cannot be read keeps its place, without it.
      let full = null;
      try {
        full = String(images[i].src);
      } catch (e) {
        items.push({});
        continue;
      }
      const src = full.slice(0, maxAddress);
      used += src.length;
      const size = sizes.get(full);
      items.push(size ? { src, size } : { src });
    }
    return { value: { items, omitted } };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageLinks(maxItems, maxAddress, maxText, budget) {
  try {
    const links = document.links;
    const items = [];
    let used = 0;
    let omitted = 0;
    for (let i = 0; i < links.length; i++) {
      if (items.length >= maxItems || used >= budget) {
        omitted = links.length - i;
        break;
      }
      // A value that cannot be read (a getter that throws) is left out of its item
      // alone; the item keeps its place.
      const item = {};
      try {
        item.html = String(links[i].innerHTML).slice(0, maxText);
        used += item.html.length;
      } catch (e) { /* left out */ }
      try {
        item.href = String(links[i].href).slice(0, maxAddress);
        used += item.href.length;
      } catch (e) { /* left out */ }
      items.push(item);
    }
    return { value: { items, omitted } };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageFrame(maxAddress) {
  try {
    // Where this frame sits: its index in each parent's frames, from the top down.
    // A parent's length and indexed frames can be read across origins.
    const path = [];
    let w = window;
    while (w !== w.parent && path.length < 64) {
      const parent = w.parent;
      let index = -1;
      for (let i = 0; i < parent.length; i++) {
        if (parent[i] === w) {
          index = i;
          break;
        }
      }
      path.unshift(index);
      w = parent;
    }
    return {
      value: {
        url: String(location.href).slice(0, maxAddress),
        name: String(window.name).slice(0, maxAddress),
        path,
      },
    };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageColors(values, names, maxColor) {
  try {
    const d = document;
    if (values) {
      for (const name of names) {
        if (typeof values[name] === 'string')
          d[name] = values[name];
      }
    }
    const out = {};
    for (const name of names)
      out[name] = String(d[name]).slice(0, maxColor);
    return { value: out };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageBodyBackground(value, maxAddress) {
  try {
    const body = document.body;
    if (!(body instanceof HTMLBodyElement))
      return { error: 'the document has no body' };
    if (typeof value === 'string')
      body.background = value;
    return { value: String(body.background).slice(0, maxAddress) };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

function pageBodyFontSize(value, maxStyle) {
  try {
    const body = document.body;
    if (!(body instanceof HTMLBodyElement))
      return { error: 'the document has no body' };
    if (typeof value === 'string')
      body.style.fontSize = value;
    return { value: String(body.style.fontSize).slice(0, maxStyle) };
  } catch (e) {
    return { error: String(e?.message ?? e).slice(0, 1024) };
  }
}

// Readers for what the functions answer; null means the answer is unusable.
function isObject(v) {
  return typeof v === 'object' && v !== null && !Array.isArray(v);
}

function checkItems(value, readItem) {
  if (!isObject(value) || !Array.isArray(value.items))
    return null;
  const items = [];
  let omitted = readCount(value.omitted) ?? 0;
  for (const raw of value.items) {
    const item = items.length < MAX_ITEMS ? readItem(raw) : null;
    if (item)
      items.push(item);
    else
      omitted++;
  }
  return { items, omitted };
}

function readStringArg(args, name, max) {
  const value = args?.[name];
  if (value === undefined)
    return null;
  if (typeof value !== 'string' || value.length > max)
    throw badRequest(`args.${name} must be a string of at most ${max} characters`);
  return value;
}

// name -> { func, args(requestArgs) -> executeScript args, check(value) -> value or null }.
// `args` throws BridgeError for arguments that are not what the function takes.
export const PAGE_FUNCTIONS = {
  list: {
    func: pageList,
    args: () => [MAX_TITLE, MAX_ADDRESS],
    check: (v) => isObject(v) ? {
      readyState: readChoice(v.readyState, ['loading', 'interactive', 'complete'], 'loading'),
      title: readString(v.title, MAX_TITLE, ''),
      frames: readCount(v.frames) ?? 0,
      visibility: readChoice(v.visibility, ['visible', 'hidden', 'prerender'], 'hidden'),
      url: readString(v.url, MAX_ADDRESS, ''),
    } : null,
  },
  report: {
    func: pageReport,
    args: () => [MAX_TITLE, MAX_ADDRESS],
    check: (v) => isObject(v) ? {
      title: readString(v.title, MAX_TITLE, ''),
      referrer: readString(v.referrer, MAX_ADDRESS, ''),
      cookie: readString(v.cookie, MAX_TITLE, ''),
      lastModified: readString(v.lastModified, 64, ''),
      scripts: readCount(v.scripts) ?? 0,
      styleSheets: readCount(v.styleSheets) ?? 0,
      forms: readCount(v.forms) ?? 0,
      anchors: readCount(v.anchors) ?? 0,
      images: readCount(v.images) ?? 0,
      links: readCount(v.links) ?? 0,
      historyLength: readCount(v.historyLength) ?? 0,
      location: readString(v.location, MAX_ADDRESS, ''),
    } : null,
  },
  images: {
    func: pageImages,
    args: () => [MAX_ITEMS, MAX_ADDRESS, ITEM_BUDGET],
    // An item that is not what it should be keeps its place with nothing readable,
    // so that the items after it keep their numbers.
    check: (v) => checkItems(v, (raw) => {
      if (!isObject(raw) || typeof raw.src !== 'string')
        return {};
      const item = { src: readString(raw.src, MAX_ADDRESS) };
      const size = readInteger(raw.size, 1, Number.MAX_SAFE_INTEGER);
      if (size !== null)
        item.size = size;
      return item;
    }),
  },
  links: {
    func: pageLinks,
    args: () => [MAX_ITEMS, MAX_ADDRESS, MAX_TEXT, ITEM_BUDGET],
    check: (v) => checkItems(v, (raw) => {
      const item = {};
      if (isObject(raw) && typeof raw.html === 'string')
        item.html = readString(raw.html, MAX_TEXT);
      if (isObject(raw) && typeof raw.href === 'string')
        item.href = readString(raw.href, MAX_ADDRESS);
      return item;
    }),
  },
  frame: {
    func: pageFrame,
    args: () => [MAX_ADDRESS],
    check: (v) => {
      if (!isObject(v) || !Array.isArray(v.path) || v.path.length > 64)
        return null;
      const path = v.path.map((i) => readInteger(i, -1, 0x7fffffff));
      if (path.includes(null))
        return null;
      return { url: readString(v.url, MAX_ADDRESS, ''), name: readString(v.name, MAX_ADDRESS, ''), path };
    },
  },
  colors: {
    func: pageColors,
    args: (a) => {
      let values = null;
      for (const name of COLOR_NAMES) {
        const value = readStringArg(a, name, MAX_COLOR);
        if (value !== null)
          (values ??= {})[name] = value;
      }
      return [values, COLOR_NAMES, MAX_COLOR];
    },
    check: (v) => {
      if (!isObject(v))
        return null;
      const out = {};
      for (const name of COLOR_NAMES)
        out[name] = readString(v[name], MAX_COLOR, '');
      return out;
    },
  },
  background: {
    func: pageBodyBackground,
    args: (a) => [readStringArg(a, 'value', MAX_ADDRESS), MAX_ADDRESS],
    check: (v) => readString(v, MAX_ADDRESS),
  },
  fontSize: {
    func: pageBodyFontSize,
    args: (a) => [readStringArg(a, 'value', MAX_STYLE), MAX_STYLE],
    check: (v) => readString(v, MAX_STYLE),
  },
};
