#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"

#include <QAction>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tabulon {
namespace {

class TopMostSuspension : public testing::Test
{
protected:
    TopMostSuspension()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("tabulon-topmost-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        program =
            std::make_unique<Program>(platform, ProgramFiles{folder.string(), "tabulon"}, [] {});
        std::string error;
        EXPECT_TRUE(program->start(error)) << error;
    }
    ~TopMostSuspension() override
    {
        program.reset();
        std::filesystem::remove_all(folder);
    }

    Form1& form() { return program->mainWindow(); }

    std::filesystem::path folder;
    automation::sim::SimDesktop sim{automation::sim::SimSetup{}};
    automation::sim::SimControl& desktop = sim.control();
    automation::Platform platform = sim.platform();
    std::unique_ptr<Program> program;
};

TEST_F(TopMostSuspension, LastsUntilTheNextRebuild)
{
    form().SuspendTopMost();
    EXPECT_EQ(form().TopMost, 0);
    EXPECT_EQ(form().TopMostWanted, 1);
    EXPECT_FALSE(form().EverFront->isChecked());
    EXPECT_FALSE(desktop.isTopMost("main"));

    form().RefreshList();
    EXPECT_EQ(form().TopMost, 1);
    EXPECT_TRUE(form().EverFront->isChecked());
    EXPECT_TRUE(desktop.isTopMost("main"));
}

TEST_F(TopMostSuspension, ChoosingTheOptionDuringASuspensionSwitchesItOnForGood)
{
    form().SuspendTopMost();
    form().EverFront->trigger();
    EXPECT_EQ(form().TopMost, 1);
    EXPECT_EQ(form().TopMostWanted, 1);
    form().RefreshList();
    EXPECT_EQ(form().TopMost, 1);
    EXPECT_TRUE(desktop.isTopMost("main"));
}

TEST_F(TopMostSuspension, NothingToSuspendWhenTheOptionIsOff)
{
    form().EverFront->trigger();
    desktop.takeCalls();
    form().SuspendTopMost();
    form().RefreshList();
    EXPECT_EQ(form().TopMost, 0);
    EXPECT_TRUE(desktop.takeCalls().empty());
}

} // namespace
} // namespace tabulon
