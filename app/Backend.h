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

// Picks the backend: TABULON_BACKEND=sim asks for the simulated desktop with a few
// demonstration windows, which is also what runs while no real desktop backend is
// built in. Anything missing is said once on log.
std::unique_ptr<Backend> loadBackend(std::ostream& log);

} // namespace tabulon
