#include "app/Backend.h"

#include "app/DemoDesktop.h"

#include <cstdlib>
#include <ostream>

namespace tabulon {

std::unique_ptr<Backend> loadBackend(std::ostream& log)
{
    const char* wanted = std::getenv("TABULON_BACKEND");
    const std::string choice = wanted ? wanted : "";
    if (!choice.empty() && choice != "sim")
        log << "tabulon: unknown backend \"" << choice << "\"; using the simulated desktop\n";
    return makeDemoDesktop();
}

} // namespace tabulon
