#pragma once

#include <QApplication>

namespace tabulon {

// The program's application object. The handlers catch their own failures; an
// exception that gets past one anyway stops at the event loop, is said in one line on
// standard error, and the loop goes on with the next event.
class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tabulon
