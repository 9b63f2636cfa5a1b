#pragma once

#include "automation/sim/SimWindow.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace automation::sim {

class SimControl;

// A scenario names something the desktop cannot be: an unknown field, a wrong type.
class ScenarioError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A window as a scenario describes it, with whether it names its own handle.
struct WindowSpec
{
    SimWindow window;
    bool hasOwnHandle = false;
};

// Reads a window of setup.windows or of a {"desktop": {"open": ...}} step.
WindowSpec windowFromJson(const nlohmann::json& json);

// Applies a {"desktop": {"set": ...}} change to an open window.
void applyWindowChange(SimControl& desktop, SimWindow& window, const nlohmann::json& change);

// A window as the dump shows it.
nlohmann::json windowToJson(const SimWindow& window);

WindowState stateFromName(const std::string& name);

} // namespace automation::sim
