// Text from pages and lists in the program's dialogs is shown as it is: a title such as
// "<b>x</b><img src=...>" must never be taken for markup (which could fetch a file).
#include "app/Form1.h"
#include "app/Program.h"
#include "automation/local/QtDialogs.h"
#include "automation/sim/SimDesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tabulon {
namespace {

const std::string kMarkup = "<b>x</b><img src=\"file:///etc/hostname\">";

TEST(PlainText, AMessageBoxShowsMarkupAsItIs)
{
    automation::QtDialogs dialogs;
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                format = box->textFormat();
                shown = box->text();
                box->button(QMessageBox::Cancel)->click();
            }
        }
    });
    EXPECT_EQ(dialogs.MsgBox(kMarkup + "を削除します。", "アプリケーション削除の確認",
                             automation::MsgBoxButtons::OKCancel),
              automation::MsgBoxAnswer::Cancel);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown.toStdString(), kMarkup + "を削除します。");
}

TEST(PlainText, EveryLabelOfTheWindowsShowsItsTextAsItIs)
{
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tabulon-plain-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        automation::sim::SimDesktop desktop{automation::sim::SimSetup{}};
        automation::Platform platform = desktop.platform();
        Program program(platform, ProgramFiles{folder.string(), "tabulon"}, [] {});
        std::string error;
        ASSERT_TRUE(program.start(error)) << error;
        Form1& form = program.mainWindow();
        form.form3();
        form.form4();
        form.form5();
        form.form6();
        const auto labels = form.findChildren<QLabel*>();
        EXPECT_GE(labels.size(), 20);
        for (const QLabel* label : labels)
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tabulon
