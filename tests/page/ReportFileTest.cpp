#include "page/ReportFile.h"

#include "tests/page/PageDesktop.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tabulon {
namespace {

using namespace std::string_literals;

TEST(ReportFileName, LowerCasesOnlyTheFileName)
{
    EXPECT_EQ(reportFileName("/home/u/Docs/Report"), "/home/u/Docs/report.txt");
    EXPECT_EQ(reportFileName("/home/u/Docs/REPORT.TXT"), "/home/u/Docs/report.txt");
    EXPECT_EQ(reportFileName("/Data/Page.Info.TxT"), "/Data/page.info.txt");
    EXPECT_EQ(reportFileName("/Data/notes.text"), "/Data/notes.text.txt");
    EXPECT_EQ(reportFileName("/Data/報告ＡB"), "/Data/報告Ａb.txt");
    EXPECT_EQ(reportFileName("Plain"), "plain.txt");
}

TEST(ReportFileBytes, AreCp932WithCrLfAndOneMoreLineEnd)
{
    EXPECT_EQ(reportFileBytes("a\r\nb\r\n\r\n"), "a\r\nb\r\n\r\n\r\n");
    EXPECT_EQ(reportFileBytes("a\nb\rc"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(reportFileBytes(""), "\r\n");
    // The ideographic space and a full-width colon.
    EXPECT_EQ(reportFileBytes("Cookie：　x"), "Cookie\x81\x46\x81\x40x\r\n"s);
}

class ReportFileTest : public ::testing::Test
{
protected:
    std::string read(const std::string& name)
    {
        std::ifstream in(d.path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    test::PageDesktop d;
};

TEST_F(ReportFileTest, ACancelledDialogWritesNothing)
{
    d.module.MyDocPath = d.path("");
    EXPECT_EQ(saveReport(d.module, "text"), ReportSave::Cancelled);
    const auto shown = d.desktop.dialogs().takeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]["kind"], "save");
    EXPECT_EQ(shown[0]["initDir"], d.path(""));
    EXPECT_FALSE(d.desktop.disk().isFile(d.path(".txt")));
}

TEST_F(ReportFileTest, AnotherExistingFileIsReplacedOnlyWhenTheUserAgrees)
{
    std::ofstream(d.path("report.txt"), std::ios::binary) << "old";
    d.desktop.dialogs().queueSave(d.path("Report"));
    d.desktop.dialogs().queueMsgBox(automation::MsgBoxAnswer::Cancel);
    EXPECT_EQ(saveReport(d.module, "new"), ReportSave::Cancelled);
    EXPECT_EQ(read("report.txt"), "old");

    d.desktop.dialogs().queueSave(d.path("Report"));
    d.desktop.dialogs().queueMsgBox(automation::MsgBoxAnswer::OK);
    EXPECT_EQ(saveReport(d.module, "new"), ReportSave::Saved);
    EXPECT_EQ(read("report.txt"), "new\r\n");
    const auto shown = d.desktop.dialogs().takeShown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[1]["kind"], "msgbox");
    EXPECT_EQ(shown[1]["buttons"], "OKCancel");

    // The name the dialog itself asked about is written without a second question.
    d.desktop.dialogs().queueSave(d.path("report.txt"));
    EXPECT_EQ(saveReport(d.module, "again"), ReportSave::Saved);
    EXPECT_EQ(read("report.txt"), "again\r\n");
    EXPECT_EQ(d.desktop.dialogs().takeShown().size(), 1u);
}

TEST_F(ReportFileTest, AFileThatCannotBeWrittenIsSaidAndNothingElseChanges)
{
    d.desktop.dialogs().queueSave(d.path("missing-folder/out.txt"));
    EXPECT_EQ(saveReport(d.module, "text"), ReportSave::Failed);
    const auto shown = d.desktop.dialogs().takeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1]["kind"], "msgbox");
    EXPECT_EQ(shown[1]["text"], d.path("missing-folder/out.txt") + " に保存できませんでした。");
    EXPECT_FALSE(d.desktop.disk().isFile(d.path("missing-folder/out.txt")));
}

} // namespace
} // namespace tabulon
