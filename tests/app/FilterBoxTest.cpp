#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tabulon {
namespace {

class FilterBox : public testing::Test
{
protected:
    FilterBox()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("tabulon-filter-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        int hwnd = 600;
        for (const char* id : {"news", "mail", "mailbox"}) {
            automation::sim::SimWindow window;
            window.id = id;
            window.url = std::string("http://") + id + ".example/";
            window.title = id;
            window.hwnd = ++hwnd;
            desktop.openWindow(std::move(window), true);
        }
        program =
            std::make_unique<Program>(platform, ProgramFiles{folder.string(), "tabulon"}, [] {});
        std::string error;
        EXPECT_TRUE(program->start(error)) << error;
    }
    ~FilterBox() override
    {
        program.reset();
        std::filesystem::remove_all(folder);
    }

    Form1& form() { return program->mainWindow(); }
    QPoint listCorner()
    {
        form().centralWidget()->layout()->activate();
        return form().ListView1->pos();
    }

    std::filesystem::path folder;
    automation::sim::SimDesktop sim{automation::sim::SimSetup{}};
    automation::sim::SimControl& desktop = sim.control();
    automation::Platform platform = sim.platform();
    std::unique_ptr<Program> program;
};

TEST_F(FilterBox, ATypedCharacterOpensItAboveTheListAndEscapeClosesIt)
{
    EXPECT_FALSE(form().FilterBar->isVisibleTo(&form()));
    EXPECT_EQ(listCorner(), QPoint(0, 0));

    // Shortcuts and the space bar stay the list's.
    QTest::keyClick(form().ListView1, Qt::Key_M, Qt::ControlModifier);
    QTest::keyClick(form().ListView1, Qt::Key_Space);
    EXPECT_EQ(form().filterText(), QString());

    QTest::keyClicks(form().ListView1, QStringLiteral("m"));
    QTest::keyClicks(form().FilterBox, QStringLiteral("ailb"));
    EXPECT_EQ(form().filterText(), QStringLiteral("mailb"));
    EXPECT_TRUE(form().FilterBar->isVisibleTo(&form()));
    EXPECT_EQ(listCorner(), QPoint(0, form().FilterBar->height()));
    EXPECT_EQ(form().shownRows(), std::vector<int>{3});
    EXPECT_EQ(form().FilterCount->text(), QStringLiteral("1 / 3"));
    EXPECT_EQ(form().FilterBox->placeholderText(), QStringLiteral("絞り込み（名前・URL）"));
    // A picture of the window with its box open, when TABULON_GUI_SHOT_DIR names a folder.
    if (const char* shots = std::getenv("TABULON_GUI_SHOT_DIR"); shots && *shots) {
        form().show();
        QCoreApplication::processEvents();
        form().grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/filter-box.png"));
    }

    QTest::keyClick(form().FilterBox, Qt::Key_Escape);
    EXPECT_EQ(form().filterText(), QString());
    EXPECT_FALSE(form().FilterBar->isVisibleTo(&form()));
    EXPECT_EQ(listCorner(), QPoint(0, 0));
    EXPECT_EQ(form().shownRows(), (std::vector<int>{1, 2, 3}));
}

TEST_F(FilterBox, TextCommittedByAnInputMethodOpensItToo)
{
    // Composing shows nothing yet; the committed text opens the box.
    QInputMethodEvent composing(QStringLiteral("てんき"), {});
    QCoreApplication::sendEvent(form().ListView1, &composing);
    EXPECT_EQ(form().filterText(), QString());
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("天気"));
    QCoreApplication::sendEvent(form().ListView1, &committed);
    EXPECT_EQ(form().filterText(), QStringLiteral("天気"));
    EXPECT_TRUE(form().FilterBar->isVisibleTo(&form()));
    EXPECT_TRUE(form().shownRows().empty());
}

TEST_F(FilterBox, TheSelectionKeepsItsRealRowNumberAndTheFilterOutlivesTheRebuild)
{
    form().setFilterText(QStringLiteral("MAIL"));
    form().selectRow(3);
    EXPECT_EQ(form().webWindows().selected(), 3);

    automation::sim::SimWindow window;
    window.id = "webmail";
    window.url = "http://webmail.example/";
    window.title = "webmail";
    desktop.openWindow(std::move(window), false);
    form().Timer1_Timer();
    EXPECT_EQ(form().filterText(), QStringLiteral("MAIL"));
    EXPECT_EQ(form().shownRows(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(form().FilterCount->text(), QStringLiteral("3 / 4"));
    EXPECT_TRUE(form().ListView1->topLevelItem(0)->isHidden());
    EXPECT_EQ(form().webWindows().selected(), 3);
    EXPECT_TRUE(form().ListView1->topLevelItem(3 - 1)->isSelected());

    // Emptied by the box's own clear button (the text cleared), the box closes.
    form().FilterBox->clear();
    EXPECT_FALSE(form().FilterBar->isVisibleTo(&form()));
    EXPECT_FALSE(form().webWindows().filtered());
}

} // namespace
} // namespace tabulon
