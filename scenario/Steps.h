#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace tabulon::scenario {

class Runner;

// One kind of step: the key that names it, how its shape is checked before anything
// runs, and what it does. A new step is one more entry of stepKinds().
struct StepKind
{
    std::string name;
    // What is wrong with a step of this kind, or "" when it is usable: values of the
    // right types and names the program has.
    std::string (*check)(const std::string& kind, const nlohmann::json& step);
    void (Runner::*run)(const nlohmann::json& step);
    // Whether the step has fields besides the one that names it.
    bool moreFields = false;
    // Whether the step still works after the program has ended.
    bool withoutProgram = false;
};

// Every step the runner knows.
const std::vector<StepKind>& stepKinds();

// The kind of a step; nullptr when it names none the runner knows.
const StepKind* findStepKind(const nlohmann::json& step);

// What is wrong with a step's shape, or "" when it is usable.
std::string checkStep(const nlohmann::json& step);

// One action of a {"form": ...} step on a dialog window: its key, how its value is
// checked, and what it does to the window.
struct FormAction
{
    std::string name;
    std::string (*check)(const nlohmann::json& value);
    void (Runner::*run)(QWidget& window, const std::string& formName, const nlohmann::json& value);
};

// Every action a form step knows.
const std::vector<FormAction>& formActions();

// The action of that key; nullptr for the window's name and unknown keys.
const FormAction* findFormAction(std::string_view key);

} // namespace tabulon::scenario
