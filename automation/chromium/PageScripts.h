#pragma once

namespace automation::chromium::scripts {

// Source text run in pages, in the program's own script world: it sees the page's
// document through the browser's own built-ins, whatever the page's scripts replaced
// in theirs. It is fixed: values reach it only as arguments. Text it gives back is
// cut to `limit` characters in the page already, so that a page's huge title does
// not cross the connection.

// Marks the program's world (the mark is its argument).
inline constexpr const char* kMarkWorld = "function (mark) { globalThis[mark] = true; }";

// What the window list reads from a page.
inline constexpr const char* kSnapshot =
    "function (limit) { const t = document.title;"
    " return {ready: document.readyState, frames: window.frames.length,"
    " visible: document.visibilityState === 'visible', title: t.slice(0, limit)}; }";

// The elements that hold the page's own frames, in the order of window.frames; more
// than limit of them is an error.
inline constexpr const char* kFrameOwners =
    "function (limit) { const owners ="
    " Array.from(document.querySelectorAll('frame,iframe,object'))"
    ".filter(e => e.contentWindow !== null);"
    " if (owners.length > limit) throw new Error('the page has more frames than the program "
    "reads');"
    " return owners; }";

inline constexpr const char* kTitle = "function (limit) { return document.title.slice(0, limit); }";
inline constexpr const char* kReferrer =
    "function (limit) { return document.referrer.slice(0, limit); }";
inline constexpr const char* kCookie =
    "function (limit) { return document.cookie.slice(0, limit); }";
inline constexpr const char* kLastModified =
    "function (limit) { return document.lastModified.slice(0, limit); }";
inline constexpr const char* kHistoryLength = "function () { return history.length; }";
inline constexpr const char* kLocation =
    "function (limit) { return location.href.slice(0, limit); }";

// The body element; a frameset or a document without one has none.
inline constexpr const char* kBodyBackground =
    "function (limit) { const b = document.body;"
    " if (!(b instanceof HTMLBodyElement)) throw new Error('the document has no body');"
    " return b.background.slice(0, limit); }";
inline constexpr const char* kBodyFontSize =
    "function (limit) { const b = document.body;"
    " if (!(b instanceof HTMLBodyElement)) throw new Error('the document has no body');"
    " return b.style.fontSize.slice(0, limit); }";
inline constexpr const char* kPutBodyBackground =
    "function (value) { const b = document.body;"
    " if (!(b instanceof HTMLBodyElement)) throw new Error('the document has no body');"
    " b.background = value; }";
inline constexpr const char* kPutBodyFontSize =
    "function (value) { const b = document.body;"
    " if (!(b instanceof HTMLBodyElement)) throw new Error('the document has no body');"
    " b.style.fontSize = value; }";

// document.fgColor and its kind: the property's name and the colour as "#rrggbb".
inline constexpr const char* kPutColor = "function (name, value) { document[name] = value; }";

// The length of one of document.scripts, styleSheets, forms, anchors, images, links.
inline constexpr const char* kCollectionLength =
    "function (name) { return document[name].length; }";

// One property of the items of document.images or document.links, from index start:
// at most count of them, each cut to limit characters, and no more once they add up
// to budget characters (at least one comes back while there is one).
inline constexpr const char* kItems =
    "function (collection, property, start, count, limit, budget) {"
    " const c = document[collection]; const out = []; let used = 0;"
    " for (let i = start; i < c.length && out.length < count && (out.length === 0 || used < "
    "budget); ++i) {"
    " const v = String(c[i][property]).slice(0, limit); used += v.length; out.push(v); }"
    " return out; }";

// The Length of document.images or document.links and, from index start, the given
// properties of at most count items, each cut to limit characters, and no more items
// once they add up to budget characters (at least one comes back while there is one).
// A value that cannot be read (a getter that throws) is null; the others go on.
inline constexpr const char* kReportItems =
    "function (collection, properties, start, count, limit, budget) {"
    " const c = document[collection]; const length = c.length; const items = []; let used = 0;"
    " for (let i = start; i < length && items.length < count && (items.length === 0 || used < "
    "budget); ++i) {"
    " const e = c[i]; const item = [];"
    " for (const p of properties) { let v = null;"
    " try { v = String(e[p]).slice(0, limit); used += v.length; } catch (_) { v = null; }"
    " item.push(v); }"
    " items.push(item); }"
    " return {length: length, items: items}; }";

} // namespace automation::chromium::scripts
