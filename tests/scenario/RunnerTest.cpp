#include "scenario/Runner.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace tabulon::scenario {
namespace {

using nlohmann::json;

struct Outcome
{
    int exit = -1;
    std::string out;
    std::string err;
};

Outcome run(const json& scenario, std::optional<std::filesystem::path> workdir = std::nullopt)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exit = runScenario(scenario, std::move(workdir), out, err);
    return {exit, out.str(), err.str()};
}

int lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Runner, AnUnusableStepStopsEverythingBeforeAnythingRuns)
{
    for (const json& bad :
         {json{{"jump", 1}}, json{{"menu", "menuNothing"}}, json{{"menu", "mSite"}},
          json{{"tick", -1}}, json{{"form", "Form9"}, {"click", "Command1"}},
          json{{"main", {{"move", {1}}}}}, json{{"expect", {{"x", 1}}}}}) {
        const Outcome outcome =
            run({{"steps", {{{"dump", "before"}}, {{"wait", 10}}, bad, {{"dump", "after"}}}}});
        EXPECT_EQ(outcome.exit, 2) << bad;
        EXPECT_EQ(outcome.out, "") << bad;
        EXPECT_EQ(lines(outcome.err), 1) << outcome.err;
        EXPECT_EQ(outcome.err.rfind("step 3: ", 0), 0u) << outcome.err;
    }
}

TEST(Runner, AReferenceToAWindowThatDoesNotExistStopsTheRunThere)
{
    const Outcome outcome = run(
        {{"steps", {{{"dump", "before"}}, {{"desktop", {{"close", "Z"}}}}, {{"dump", "after"}}}}});
    EXPECT_EQ(outcome.exit, 2);
    EXPECT_EQ(lines(outcome.out), 1);
    EXPECT_EQ(outcome.err, "step 2: no window has the id \"Z\"\n");
}

TEST(Runner, AFailedExpectationIsReportedAndTheRunGoesOn)
{
    const Outcome outcome =
        run({{"setup", {{"windows", {{{"id", "A"}, {"title", "A"}, {"url", "http://a/"}}}}}},
             {"steps",
              {{{"expect", {{"/list/0/text", "B"}, {"/selected", 0}}}}, {{"dump", "after"}}}}});
    EXPECT_EQ(outcome.exit, 1);
    EXPECT_EQ(outcome.err, "step 1: expect /list/0/text: expected \"B\", got \"A\"\n");
    const json dump = json::parse(outcome.out);
    EXPECT_EQ(dump["label"], "after");
    EXPECT_EQ(dump["list"][0]["text"], "A");
}

TEST(Runner, AfterTheEndOnlyStepsThatNeedNoProgramWork)
{
    const Outcome ended = run({{"steps",
                                {{{"menu", "menuEND"}},
                                 {{"desktop", {{"open", {{"id", "B"}, {"url", "http://b/"}}}}}},
                                 {{"wait", 4000}},
                                 {{"expect", {{"/running", false}}}},
                                 {{"select", 1}}}}});
    EXPECT_EQ(ended.exit, 2);
    EXPECT_EQ(ended.err.rfind("step 5: ", 0), 0u) << ended.err;

    const Outcome started = run({{"steps",
                                  {{{"main", {{"close", true}}}},
                                   {{"start", true}},
                                   {{"expect", {{"/running", true}}}},
                                   {{"start", true}}}}});
    EXPECT_EQ(started.exit, 2);
    EXPECT_EQ(started.err, "step 4: the program is running already\n");
}

TEST(Runner, AGivenWorkFolderKeepsTheProgramsFiles)
{
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tabulon-runner-workdir-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    const Outcome outcome =
        run({{"setup",
              {{"exe", "Other"}, {"files", {{"sitelist.txt", {{"lines", {"名", "http://n/"}}}}}}}},
             {"steps", {{{"tick", 1}}, {{"expect", {{"/state/SiteList/0/Name", "名"}}}}}}},
            folder);
    EXPECT_EQ(outcome.exit, 0) << outcome.err;
    // The settings file is named after the executable.
    EXPECT_TRUE(std::filesystem::exists(folder / "Other.ini"));
    EXPECT_TRUE(std::filesystem::exists(folder / "fav"));
    std::filesystem::remove_all(folder);
}

TEST(Runner, AFileThatIsNotJsonIsUnusable)
{
    const auto file = std::filesystem::temp_directory_path() /
                      ("tabulon-not-json-" + std::to_string(::getpid()) + ".json");
    std::ofstream(file) << "{\"steps\": [";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runScenarioFile(file.string(), std::nullopt, out, err), 2);
    EXPECT_EQ(lines(err.str()), 1);
    std::filesystem::remove(file);
}

} // namespace
} // namespace tabulon::scenario
