#pragma once

#include "automation/Platform.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace tabulon {

// The desktop the program drives and the machine's facilities around it.
class Backend
{
public:
    virtual ~Backend() = default;
    virtual automation::Platform platform() = 0;
    // One line saying which desktop this is.
    virtual std::string description() const = 0;
};

// Picks the backend. The real desktop (Chromium's windows on X11) when the program's
// windows are on an X11 display with an EWMH window manager; a display without Chromium
// still gives the real desktop, with no browser windows. TABULON_BACKEND=sim asks for
// the simulated desktop with a few demonstration windows, which is also what runs
// without a real desktop. Each thing missing is said once, in one line on log.
std::unique_ptr<Backend> loadBackend(std::ostream& log);

} // namespace tabulon
