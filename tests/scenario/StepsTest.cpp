#include "scenario/Steps.h"

#include <gtest/gtest.h>

namespace tabulon::scenario {
namespace {

using nlohmann::json;

// One well-formed step of each kind and form action the contract names, with whether
// it still works after the program has ended.
const std::vector<std::pair<json, bool>>& contractSteps()
{
    static const std::vector<std::pair<json, bool>> steps = {
        {{{"menu", "menuTile3"}}, false},
        {{{"menu", "mSite"}, {"index", 2}}, false},
        {{{"select", 3}}, false},
        {{{"dblclick", 3}}, false},
        {{{"rightclick", 0}}, false},
        {{{"tick", 1}}, false},
        {{{"desktop", {{"open", {{"id", "B"}}}}}}, true},
        {{{"desktop", {{"close", "A"}}}}, true},
        {{{"desktop", {{"set", {{"id", "A"}, {"state", "minimized"}}}}}}, true},
        {{{"files", {{"fav/x.url", {{"lines", {"URL=http://x/"}}}}}}}, true},
        {{{"main", {{"move", {1200, 900}}}}}, false},
        {{{"main", {{"state", "minimized"}}}}, false},
        {{{"main", {{"hide", true}}}}, false},
        {{{"main", {{"close", true}}}}, false},
        {{{"form", "Form5"}, {"set", {{"Text1", "abc"}}}}, false},
        {{{"form", "Form5"}, {"click", "Command1(2)"}}, false},
        {{{"form", "Form5"}, {"select", 3}}, false},
        {{{"form", "Form5"}, {"dblclick", 0}}, false},
        {{{"form", "Form6"}, {"dblclick", "Label4"}}, false},
        {{{"form", "Form3"}, {"check", 0}}, false},
        {{{"form", "Form5"}, {"close", true}}, false},
        {{{"form", "Form5"}, {"resize", {6000, 1000}}}, false},
        {{{"answer", {{"msgbox", "OK"}}}}, false},
        {{{"answer", {{"color", 255}}}}, false},
        {{{"answer", {{"open", "cancel"}}}}, false},
        {{{"answer", {{"save", "Out/Report.TXT"}}}}, false},
        {{{"wait", 500}}, true},
        {{{"restart", true}}, false},
        {{{"start", true}}, true},
        {{{"dump", "label"}}, true},
        {{{"expect", {{"/list/0/text", "busy"}}}}, true},
    };
    return steps;
}

TEST(Steps, EveryStepOfTheContractIsKnownAndRunsWhenTheContractSays)
{
    for (const auto& [step, withoutProgram] : contractSteps()) {
        EXPECT_EQ(checkStep(step), "") << step;
        const StepKind* kind = findStepKind(step);
        ASSERT_NE(kind, nullptr) << step;
        EXPECT_EQ(kind->withoutProgram, withoutProgram) << step;
    }
}

TEST(Steps, OnlyMenuAndFormStepsTakeMoreThanTheirOwnField)
{
    for (const auto& [step, withoutProgram] : contractSteps()) {
        (void)withoutProgram;
        json extended = step;
        extended["zzz"] = 1;
        const std::string problem = checkStep(extended);
        const std::string kind = findStepKind(step)->name;
        if (kind == "menu")
            EXPECT_EQ(problem, "unknown field \"zzz\" in a menu step");
        else if (kind == "form")
            EXPECT_EQ(problem, "a form step takes one action");
        else
            EXPECT_EQ(problem, "a \"" + kind + "\" step takes no other fields") << step;
    }
}

} // namespace
} // namespace tabulon::scenario
