#include "app/TabulonAdaptor.h"

#include "app/CommandTable.h"
#include "app/Form1.h"
#include "app/Program.h"
#include "page/PageReport.h"

#include <QMetaObject>
#include <exception>

namespace tabulon {

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString commandNames()
{
    QStringList names;
    for (const CommandEntry& entry : commandTable())
        names << QString::fromLatin1(entry.id);
    return names.join(QStringLiteral(", "));
}

} // namespace

TabulonAdaptor::TabulonAdaptor(Program& program, QObject* parent)
    : QObject(parent), m_program(program), m_lastRows(program.mainWindow().webWindows().rows())
{
    registerBusTypes();
    connect(&program.mainWindow(), &Form1::listRebuilt, this, &TabulonAdaptor::onListRebuilt);
}

void TabulonAdaptor::onListRebuilt()
{
    const auto& rows = m_program.mainWindow().webWindows().rows();
    if (rows == m_lastRows)
        return;
    m_lastRows = rows;
    emit ListChanged();
}

// A call that arrives after the program ended (the bus is let go last) is refused.
bool TabulonAdaptor::running()
{
    Form1& form = m_program.mainWindow();
    if (form.hasEnded()) {
        sendErrorReply(QString::fromLatin1(kEnded), QStringLiteral("Tabulon is ending"));
        return false;
    }
    // A call that arrives while a command waits for a browser with the windows painting
    // would start a second wait inside the first.
    if (form.platform().clock.answering()) {
        sendErrorReply(QString::fromLatin1(kBusy),
                       QStringLiteral("Tabulon is busy with a page; ask again in a moment"));
        return false;
    }
    return true;
}

// A failure of the desktop under a command ends that command and is answered as an
// error; the program goes on, as after a failing menu command.
template <typename Work> void TabulonAdaptor::run(const char* what, Work&& work)
{
    try {
        std::forward<Work>(work)();
    } catch (const std::exception& failure) {
        sendErrorReply(QString::fromLatin1(kFailed),
                       QStringLiteral("%1 failed: %2")
                           .arg(QString::fromLatin1(what), QString::fromUtf8(failure.what())));
    }
}

QList<BusRow> TabulonAdaptor::List()
{
    QList<BusRow> result;
    if (!running())
        return result;
    const auto& rows = m_program.mainWindow().webWindows().rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ListRow& row = rows[i];
        result.push_back(BusRow{static_cast<int>(i + 1), qs(row.text), qs(row.sub[0]),
                                qs(row.sub[1]), qs(row.sub[2]), qs(row.sub[3]), qs(row.sub[4])});
    }
    return result;
}

void TabulonAdaptor::Select(int row)
{
    if (!running())
        return;
    Form1& form = m_program.mainWindow();
    const int count = form.webWindows().count();
    if (row < 0 || row > count) {
        sendErrorReply(
            QString::fromLatin1(kOutOfRange),
            QStringLiteral("row %1 is out of range: the list has %2 rows (0 selects none)")
                .arg(row)
                .arg(count));
        return;
    }
    form.selectRow(row);
}

void TabulonAdaptor::Command(const QString& name)
{
    if (!running())
        return;
    const CommandEntry* entry = findCommand(name.toStdString());
    if (!entry) {
        sendErrorReply(QString::fromLatin1(kUnknownCommand),
                       QStringLiteral("unknown command \"%1\"; the commands are %2")
                           .arg(name, commandNames()));
        return;
    }
    Form1& form = m_program.mainWindow();
    if (entry->needsSelection && form.webWindows().selected() == 0) {
        sendErrorReply(
            QString::fromLatin1(kNothingSelected),
            QStringLiteral("%1 works on the selected row, and nothing is selected").arg(name));
        return;
    }
    if (entry->handler == &Form1::menuEND_Click) {
        // The answer goes out before the program ends under it.
        QMetaObject::invokeMethod(
            &form, [&form] { form.menuEND_Click(); }, Qt::QueuedConnection);
        return;
    }
    run(entry->id, [&] { (form.*(entry->handler))(); });
}

void TabulonAdaptor::OpenSite(const QString& name)
{
    if (!running())
        return;
    Form1& form = m_program.mainWindow();
    const Module1& module = form.module();
    for (int i = 0; i <= module.SiteLast && i < kSiteSlots; ++i) {
        if (qs(module.SiteList[static_cast<std::size_t>(i)].Name) == name) {
            run("OpenSite", [&] { form.mSite_Click(i); });
            return;
        }
    }
    sendErrorReply(QString::fromLatin1(kUnknownName),
                   QStringLiteral("no registered site is named \"%1\"").arg(name));
}

void TabulonAdaptor::OpenApp(const QString& name)
{
    if (!running())
        return;
    Form1& form = m_program.mainWindow();
    const Module1& module = form.module();
    for (int i = 0; i <= module.AppLast && i < kAppSlots; ++i) {
        if (qs(module.AppList[static_cast<std::size_t>(i)].Name) == name) {
            run("OpenApp", [&] { form.menuApp_Click(i); });
            return;
        }
    }
    sendErrorReply(QString::fromLatin1(kUnknownName),
                   QStringLiteral("no registered application or file is named \"%1\"").arg(name));
}

void TabulonAdaptor::RestoreLayout(const QString& name)
{
    if (!running())
        return;
    Form1& form = m_program.mainWindow();
    const std::vector<std::string> names = form.layoutNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (qs(names[i]) == name) {
            run("RestoreLayout", [&] { form.mLayout_Click(static_cast<int>(i)); });
            return;
        }
    }
    sendErrorReply(QString::fromLatin1(kUnknownName),
                   QStringLiteral("no saved layout is named \"%1\"").arg(name));
}

QString TabulonAdaptor::Report(int row)
{
    if (!running())
        return {};
    const WebWindowList& list = m_program.mainWindow().webWindows();
    if (row < 1 || row > list.count()) {
        sendErrorReply(QString::fromLatin1(kOutOfRange),
                       QStringLiteral("row %1 is out of range: the list has %2 rows")
                           .arg(row)
                           .arg(list.count()));
        return {};
    }
    QString text;
    run("Report", [&] {
        std::string report;
        m_program.mainWindow().platform().clock.whileAnswering(
            [&] { report = DispDataText(list.WebWin(row)); });
        text = qs(report);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    });
    return text;
}

void TabulonAdaptor::Raise()
{
    if (running())
        m_program.raise();
}

} // namespace tabulon
