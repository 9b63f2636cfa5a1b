#pragma once

#include "app/BusRow.h"
#include "winlist/WebWindowList.h"

#include <QDBusContext>
#include <QObject>
#include <vector>

namespace tabulon {

class Program;

// The program on the session bus: the object at /Tabulon, interface org.example.Tabulon.
// Each method runs what the window's own menu runs, through the same handlers; what a
// command cannot do comes back as a bus error with a sentence saying why.
class TabulonAdaptor : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.Tabulon")

public:
    explicit TabulonAdaptor(Program& program, QObject* parent = nullptr);

    // The error names the methods answer with.
    static constexpr const char* kUnknownCommand = "org.example.Tabulon.Error.UnknownCommand";
    static constexpr const char* kOutOfRange = "org.example.Tabulon.Error.RowOutOfRange";
    static constexpr const char* kNothingSelected = "org.example.Tabulon.Error.NothingSelected";
    static constexpr const char* kUnknownName = "org.example.Tabulon.Error.UnknownName";
    static constexpr const char* kFailed = "org.example.Tabulon.Error.Failed";
    static constexpr const char* kEnded = "org.example.Tabulon.Error.Ended";
    static constexpr const char* kBusy = "org.example.Tabulon.Error.Busy";

public Q_SLOTS:
    // The rows as the window shows them.
    QList<tabulon::BusRow> List();
    // Selects a row (0: none).
    void Select(int row);
    // Runs the command of that name ("tile-web"), as its menu item does.
    void Command(const QString& name);
    // Opens the registered site (application) with that menu caption.
    void OpenSite(const QString& name);
    void OpenApp(const QString& name);
    // Puts the windows back as the saved layout of that name has them.
    void RestoreLayout(const QString& name);
    // The page-information report of a row's window, lines ended with "\n".
    QString Report(int row);
    // Brings the window forward, restoring it when minimised.
    void Raise();

Q_SIGNALS:
    // A rebuild of the list changed its rows.
    void ListChanged();

private:
    void onListRebuilt();
    bool running();
    template <typename Work> void run(const char* what, Work&& work);

    Program& m_program;
    std::vector<ListRow> m_lastRows;
};

} // namespace tabulon
