#pragma once

#include <cstddef>

namespace automation::limits {

// How much a page, the browser or a DevTools peer can make the program read, hold or
// walk. Everything beyond is cut, left out or read as unreadable, never followed.

// Frames of one page: the browser itself makes no more; a larger count is a lie and
// reads as unreadable.
inline constexpr int kMaxFrames = 1000;

// Frames nested in frames: deeper trees are not walked (no page needs it, and it
// bounds the recursion).
inline constexpr int kMaxFrameDepth = 64;

// Images, and links, that the page report walks: beyond this no one reads the report,
// and each item costs a call to the page. One line says how many were left out.
inline constexpr int kMaxReportItems = 10000;

// The whole page report: a page can give each of thousands of links a long text; the
// report stops here with the same line rather than fill memory and the text box.
inline constexpr std::size_t kMaxReportBytes = 16u << 20;

// One text from a page (a title, a name, a cookie, a link's markup): longer ones are
// cut on a character boundary. Generous for any real title, small beside memory.
inline constexpr std::size_t kMaxPageText = 64u << 10;

// One address as the list and the favourite files keep it: longer than any address a
// web server takes.
inline constexpr std::size_t kMaxAddress = 8u << 10;

// An id the browser gives a tab, window, frame or session (32 hex digits in practice).
inline constexpr std::size_t kMaxId = 256;

// One protocol message: far above any answer the program asks for (a resource tree of
// thousands of resources is a few megabytes), far below what would strain memory.
inline constexpr std::size_t kMaxMessage = 64u << 20;

// Nesting of one protocol message: the frame trees a browser sends stay far below;
// deeper text is refused before it is read, which bounds the reader's memory.
inline constexpr int kMaxJsonDepth = 4096;

} // namespace automation::limits
