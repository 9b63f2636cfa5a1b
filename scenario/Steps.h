#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tabulon::scenario {

// The kind of a step ("menu", "tick", "form", ...): the key that names what it does.
std::string stepKind(const nlohmann::json& step);

// What is wrong with a step's shape, or "" when it is a step the runner knows, with
// values of the right types and names the program has.
std::string checkStep(const nlohmann::json& step);

// Whether the step still works after the program has ended.
bool worksWithoutProgram(const std::string& kind);

} // namespace tabulon::scenario
