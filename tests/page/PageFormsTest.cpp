#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"
#include "page/Form6.h"
#include "page/Form7.h"

#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tabulon {
namespace {

automation::sim::SimSetup readsLogged()
{
    automation::sim::SimSetup setup;
    setup.logReads = true;
    return setup;
}

class PageFormsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_folder =
            std::filesystem::temp_directory_path() /
            ("tabulon-forms-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(m_folder);
        program =
            std::make_unique<Program>(platform, ProgramFiles{m_folder.string(), "tabulon"}, [] {});
        std::string error;
        ASSERT_TRUE(program->start(error)) << error;
    }
    void TearDown() override
    {
        program.reset();
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }

    std::filesystem::path m_folder;
    automation::sim::SimDesktop desktop{readsLogged()};
    automation::Platform platform = desktop.platform();
    std::unique_ptr<Program> program;
};

TEST_F(PageFormsTest, AboutBoxLabelsUseAJapaneseGothicFont)
{
    Form6& about = program->mainWindow().form6();
    for (const QLabel* label :
         {about.Label1, about.Label2, about.Label3, about.Label4, about.Label5}) {
        const QFontInfo font(label->font());
        EXPECT_TRUE(font.family() == QStringLiteral("IPAPGothic") ||
                    font.family() == QStringLiteral("ＭＳ Ｐゴシック"))
            << label->objectName().toStdString() << ": " << font.family().toStdString();
        EXPECT_TRUE(font.bold());
    }
    EXPECT_DOUBLE_EQ(about.Label1->font().pointSizeF(), 9.75);
    EXPECT_DOUBLE_EQ(about.Label2->font().pointSizeF(), 11.25);
    EXPECT_TRUE(about.Label2->font().italic());
    EXPECT_TRUE(about.Label4->font().underline());
    EXPECT_FALSE(about.Label3->font().underline());
}

TEST_F(PageFormsTest, ReportBoxNeverGetsANegativeHeight)
{
    program->mainWindow().menuInfo_Click();
    Form7& report = program->mainWindow().form7();
    ASSERT_TRUE(report.isVisible());
    // 15 twips a pixel: the box starts 600 twips down and is at least 100 twips high
    // (6.7 pixels, shown as 7).
    report.resize(516, 571);
    EXPECT_EQ(report.Text1->geometry(), QRect(0, 40, 516, 531));
    report.resize(200, 20);
    EXPECT_EQ(report.Text1->geometry(), QRect(0, 40, 200, 7));
}

// How often the page's referrer was read since the calls were last taken.
int referrerReads(automation::sim::SimControl& control)
{
    int reads = 0;
    for (const auto& call : control.takeCalls())
        reads += call.value("op", "") == "get" && call.value("prop", "") == "referrer";
    return reads;
}

TEST_F(PageFormsTest, EachOpeningOfTheReportReadsThePageOnce)
{
    automation::sim::SimWindow window;
    window.id = "A";
    window.title = "Page";
    window.url = "http://a.example/";
    window.document = std::make_shared<automation::sim::SimDocumentData>();
    window.document->referrer = "http://r.example/";
    desktop.control().openWindow(std::move(window), false);
    Form1& form = program->mainWindow();
    form.RefreshList();
    form.selectRow(1);
    desktop.control().takeCalls();

    // The first opening loads the window; the second finds it loaded.
    form.menuInfo_Click();
    EXPECT_EQ(referrerReads(desktop.control()), 1);
    EXPECT_NE(form.form7().reportText().find("http://r.example/"), std::string::npos);
    form.menuInfo_Click();
    EXPECT_EQ(referrerReads(desktop.control()), 1);
    // Closed by the user, it is made again, and again reads once.
    form.form7().close();
    form.menuInfo_Click();
    EXPECT_EQ(referrerReads(desktop.control()), 1);
}

} // namespace
} // namespace tabulon
