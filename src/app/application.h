#pragma once

#include <QApplication>

namespace velm {

// The program's application object. A failure that escapes an event handler reaches
// the default error report here, and the event loop goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    static QString HelpFile() { return QStringLiteral("Velminfo.hlp"); }
};

}  // namespace velm
