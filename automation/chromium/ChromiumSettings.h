#pragma once

#include "automation/chromium/ChromiumProcess.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace automation::chromium {

// Where the browser comes from and how long the program waits for it.
struct ChromiumSettings
{
    // Started by the program unless devtoolsUrl names a running browser to attach to.
    LaunchOptions launch;
    std::string devtoolsUrl;
    // A page that has not answered by then is taken for hung.
    std::chrono::milliseconds pageTimeout{1000};
    // Turning on a page's style-sheet domain, once per document: the browser gathers
    // every rule of the page first, a few hundred milliseconds on a large one.
    std::chrono::milliseconds styleSetupTimeout{4000};
    // The browser process itself: targets and windows.
    std::chrono::milliseconds browserTimeout{2000};
    // From starting the browser to its first answer.
    std::chrono::milliseconds startTimeout{10000};
    // Reads of a window or a page are reused for this long, unless the program has
    // changed something since.
    std::chrono::milliseconds readReuse{500};
    // A reading of every tab keeps at most this many bytes of requests on their way at
    // once (half a pipe's default capacity): the rest go as answers come, so a browser
    // that stops reading never fills the pipe and never holds up a write.
    std::size_t readingWindowBytes = std::size_t{32} * 1024;

    // From the environment: TABULON_CHROMIUM (the executable), TABULON_DEVTOOLS (a
    // running browser's ws://127.0.0.1:PORT/devtools/browser/... address) and
    // XDG_DATA_HOME (the profile goes to $XDG_DATA_HOME/tabulon/chromium).
    static ChromiumSettings fromEnvironment();
};

} // namespace automation::chromium
