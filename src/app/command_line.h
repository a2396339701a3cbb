#pragma once

#include <QString>
#include <QStringList>

namespace velm {

// What the command line asks of the program.
struct TCommandLine {
    bool showHelp = false;
    bool showVersion = false;
    // Say when the main window is shown and idle, then close it: start-up timing.
    bool quitWhenIdle = false;
    QStringList unknown;  // arguments the program does not take, in the order given
};

// The arguments after the program's name. Qt's own options (-platform, -style, ...)
// count as unknown here; the application object takes them out before the final check.
TCommandLine ParseCommandLine(const QStringList& arguments);

QString CommandLineHelp(const QString& programName);
QString VersionText();
QString UnknownArgumentText(const QString& programName, const QString& argument);

}  // namespace velm
