#pragma once

namespace automation::chromium::scripts {

// Source text evaluated in pages. It is fixed: values reach it only as arguments.

// What the window list reads from a page.
inline constexpr const char* kSnapshot =
    "({ready: document.readyState, frames: window.frames.length,"
    " visible: document.visibilityState === 'visible', title: document.title})";

// The page's global object, for calls with arguments.
inline constexpr const char* kGlobal = "globalThis";

// The elements that hold the page's own frames, in the order of window.frames.
inline constexpr const char* kFrameOwners =
    "Array.from(document.querySelectorAll('frame,iframe,object'))"
    ".filter(e => e.contentWindow !== null)";

inline constexpr const char* kTitle = "document.title";
inline constexpr const char* kReferrer = "document.referrer";
inline constexpr const char* kCookie = "document.cookie";
inline constexpr const char* kLastModified = "document.lastModified";
inline constexpr const char* kHistoryLength = "history.length";
inline constexpr const char* kLocation = "location.href";

// The body element; a frameset or a document without one has none.
inline constexpr const char* kBodyBackground =
    "(() => { const b = document.body;"
    " if (!(b instanceof HTMLBodyElement)) throw new Error('the document has no body');"
    " return b.background; })()";
inline constexpr const char* kBodyFontSize =
    "(() => { const b = document.body;"
    " if (!(b instanceof HTMLBodyElement)) throw new Error('the document has no body');"
    " return b.style.fontSize; })()";
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

inline constexpr const char* kImageHref =
    "function (i) { const e = document.images[i];"
    " if (!e) throw new Error('no such image'); return e.src; }";
inline constexpr const char* kLinkInnerHTML =
    "function (i) { const e = document.links[i];"
    " if (!e) throw new Error('no such link'); return e.innerHTML; }";
inline constexpr const char* kLinkHref =
    "function (i) { const e = document.links[i];"
    " if (!e) throw new Error('no such link'); return e.href; }";

} // namespace automation::chromium::scripts
