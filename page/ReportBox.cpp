#include "page/ReportBox.h"

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace tabulon {

namespace {

// About five hundred report lines: each part goes in within a millisecond or two.
constexpr std::size_t kPartBytes = std::size_t{32} * 1024;

// The box keeps lines apart with LF; the report's own line ends are CR LF.
QString toDisplay(std::string_view text)
{
    QString display = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    display.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return display;
}

// Where the part from start ends: just after a line's LF, so that neither a CR LF nor a
// character's bytes are split; a line longer than a part goes whole.
std::size_t partEnd(std::string_view text, std::size_t start)
{
    if (text.size() - start <= kPartBytes)
        return text.size();
    const std::size_t lineEnd = text.find('\n', start + kPartBytes);
    return lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
}

} // namespace

void fillInParts(QPlainTextEdit& box, const std::string& report,
                 const std::function<void()>& between)
{
    // Filled away from the box, which goes on showing its old text meanwhile.
    auto* document = new QTextDocument(&box);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    document->setDefaultFont(box.document()->defaultFont());
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    const std::string_view text(report);
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = partEnd(text, start);
        cursor.insertText(toDisplay(text.substr(start, end - start)));
        start = end;
        if (start < text.size())
            between();
    }
    document->setUndoRedoEnabled(true);

    // The box deletes its first document itself; the ones put in here go in turn.
    QTextDocument* shown = box.document();
    const bool ours = shown->parent() == &box;
    box.setDocument(document);
    if (ours)
        delete shown;
}

} // namespace tabulon
