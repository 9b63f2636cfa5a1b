#include "page/ReportBox.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <string>

namespace tabulon {
namespace {

int documentsOf(const QPlainTextEdit& box)
{
    return static_cast<int>(box.findChildren<QTextDocument*>(Qt::FindDirectChildrenOnly).size());
}

TEST(ReportBox, ALongReportGoesInPartsAndShowsWholeOnlyAtTheEnd)
{
    // Many short lines, Japanese ones, a lone CR, a line longer than a part, and a last
    // line without its end.
    std::string report;
    std::string expected;
    for (int i = 0; i < 6000; ++i) {
        const std::string line = "   title(" + std::to_string(i) + ")= リンク " + std::to_string(i);
        report += line + "\r\n";
        expected += line + "\n";
    }
    report += "cr alone\r";
    expected += "cr alone\n";
    const std::string longLine(std::size_t{100} * 1024, 'x');
    report += longLine + "\r\n\r\n";
    expected += longLine + "\n\n";
    report += "終わり";
    expected += "終わり";

    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("前のレポート"));
    int parts = 0;
    fillInParts(box, report, [&] {
        ++parts;
        // Meanwhile the box shows what it showed before.
        EXPECT_EQ(box.toPlainText(), QStringLiteral("前のレポート"));
    });
    EXPECT_GT(parts, 5);
    EXPECT_EQ(box.toPlainText().toStdString(), expected);
    EXPECT_EQ(box.textCursor().position(), 0);
    EXPECT_FALSE(box.document()->isUndoAvailable());

    // Filled again and again, the box holds one document at a time; an empty report
    // empties it without a part between.
    for (int i = 0; i < 3; ++i)
        fillInParts(box, "short\r\n", [&] { ADD_FAILURE() << "a short report went in parts"; });
    EXPECT_EQ(box.toPlainText(), QStringLiteral("short\n"));
    fillInParts(box, "", [] {});
    EXPECT_EQ(box.toPlainText(), QString());
    EXPECT_EQ(documentsOf(box), 1);
}

} // namespace
} // namespace tabulon
