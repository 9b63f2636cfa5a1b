// The main window's six dialogs are made on first use. One the user has closed is on
// its way out: asking for it again gives a new one, which outlives the old one's deletion.
#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"
#include "page/Form2.h"
#include "page/Form3.h"
#include "page/Form6.h"
#include "page/Form7.h"
#include "registry/Form4.h"
#include "registry/Form5.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tabulon {
namespace {

class Dialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = std::filesystem::temp_directory_path() /
                   ("tabulon-dialogs-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        m_program = std::make_unique<Program>(m_platform,
                                              ProgramFiles{m_folder.string(), "tabulon"}, [] {});
        std::string error;
        ASSERT_TRUE(m_program->start(error)) << error;
    }
    void TearDown() override
    {
        m_program.reset();
        std::filesystem::remove_all(m_folder);
    }

    Form1& form() { return m_program->mainWindow(); }

    static void deleteClosedWindows()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    automation::sim::SimDesktop m_desktop{automation::sim::SimSetup{}};
    automation::Platform m_platform = m_desktop.platform();
    std::filesystem::path m_folder;
    std::unique_ptr<Program> m_program;
};

struct Accessor
{
    const char* name;
    std::function<QWidget*(Form1&)> get;
    std::function<QWidget*(Form1&)> ifLoaded;
};

TEST_F(Dialogs, AClosedDialogIsMadeAgainAndOutlivesTheOldOne)
{
    const Accessor accessors[] = {
        {"Form2", [](Form1& f) { return &f.form2(); }, [](Form1& f) { return f.form2IfLoaded(); }},
        {"Form3", [](Form1& f) { return &f.form3(); }, [](Form1& f) { return f.form3IfLoaded(); }},
        {"Form4", [](Form1& f) { return &f.form4(); }, [](Form1& f) { return f.form4IfLoaded(); }},
        {"Form5", [](Form1& f) { return &f.form5(); }, [](Form1& f) { return f.form5IfLoaded(); }},
        {"Form6", [](Form1& f) { return &f.form6(); }, [](Form1& f) { return f.form6IfLoaded(); }},
        {"Form7", [](Form1& f) { return &f.form7(); }, [](Form1& f) { return f.form7IfLoaded(); }},
    };
    for (const Accessor& dialog : accessors) {
        SCOPED_TRACE(dialog.name);
        EXPECT_EQ(dialog.ifLoaded(form()), nullptr);
        QPointer<QWidget> first = dialog.get(form());
        EXPECT_EQ(dialog.get(form()), first.data()); // made once
        EXPECT_EQ(dialog.ifLoaded(form()), first.data());
        first->show();
        first->close();
        EXPECT_EQ(dialog.ifLoaded(form()), nullptr);
        QPointer<QWidget> second = dialog.get(form());
        EXPECT_NE(second.data(), first.data());
        deleteClosedWindows();
        EXPECT_TRUE(first.isNull());
        ASSERT_FALSE(second.isNull());
        EXPECT_EQ(dialog.ifLoaded(form()), second.data());
    }
}

TEST_F(Dialogs, ACommandShowsItsDialogAgainAfterTheUserClosedIt)
{
    const std::pair<void (Form1::*)(), std::function<QWidget*(Form1&)>> commands[] = {
        {&Form1::menuVersion_Click, [](Form1& f) { return f.form6IfLoaded(); }},
        {&Form1::menuSetColor_Click, [](Form1& f) { return f.form3IfLoaded(); }},
        {&Form1::menuEditApp_Click, [](Form1& f) { return f.form4IfLoaded(); }},
        {&Form1::menuDelSite_Click, [](Form1& f) { return f.form5IfLoaded(); }},
    };
    for (const auto& [command, dialog] : commands) {
        (form().*command)();
        ASSERT_NE(dialog(form()), nullptr);
        dialog(form())->close();
        (form().*command)();
        deleteClosedWindows();
        QWidget* shown = dialog(form());
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->isVisible()) << shown->objectName().toStdString();
    }
}

} // namespace
} // namespace tabulon
