#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace automation::sim {
class SimDesktop;
}

namespace tabulon {
class Program;
}

namespace tabulon::scenario {

// Runs a scenario: the real program, under Qt's offscreen platform, on the simulated
// desktop, driven step by step. Returns 0 when every step ran and every expect held,
// 1 when an expect failed, 2 when the scenario is unusable.
int runScenario(const nlohmann::json& scenario, std::optional<std::filesystem::path> workdir,
                std::ostream& out, std::ostream& err);

// Reads the file and runs it; a file that is not JSON is unusable.
int runScenarioFile(const std::string& path, std::optional<std::filesystem::path> workdir,
                    std::ostream& out, std::ostream& err);

} // namespace tabulon::scenario
