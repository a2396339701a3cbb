#include "app/command_line.h"

#ifndef VELMORA_VERSION
#error "the build passes the project's version as VELMORA_VERSION"
#endif

namespace velm {

TCommandLine ParseCommandLine(const QStringList& arguments) {
    TCommandLine line;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            line.showHelp = true;
        else if (argument == QLatin1String("--version"))
            line.showVersion = true;
        else if (argument == QLatin1String("--quit-when-idle"))
            line.quitWhenIdle = true;
        else
            line.unknown << argument;
    }
    return line;
}

QString CommandLineHelp(const QString& programName) {
    return QStringLiteral(
               "Usage: %1 [OPTION]\n"
               "A catalogue of the zip archives in which Delphi and C++Builder component\n"
               "packages are distributed. Without options the catalogue window opens.\n"
               "\n"
               "  -h, --help          show this help and end\n"
               "      --version       show the version and end\n"
               "      --quit-when-idle\n"
               "                      print \"Main window shown and idle\" when the main window\n"
               "                      is shown and idle, then finish the start-up and close\n"
               "                      the window (for timing the start-up)\n")
        .arg(programName);
}

QString VersionText() { return QStringLiteral("Velmora " VELMORA_VERSION "\n"); }

QString UnknownArgumentText(const QString& programName, const QString& argument) {
    return QStringLiteral("%1: unknown option '%2'\nTry '%1 --help' for the options.\n").arg(programName, argument);
}

}  // namespace velm
