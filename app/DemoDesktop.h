#pragma once

#include "app/Backend.h"

namespace tabulon {

// The simulated desktop with a handful of browser, folder and other windows, driven
// with the machine's real clock, dialogs, files and launcher.
std::unique_ptr<Backend> makeDemoDesktop();

} // namespace tabulon
