// Puts an empty catalogue into the folder named on the command line, unless one is
// there already: an existing catalogue is never overwritten.
#include "catalogue/data_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: velmora-mkcatalogue DATA_FOLDER\n");
        return 2;
    }
    const QString folder = args.at(1);
    for (const char* name : {"Category.db", "CPInfo.DB", "Status.db"}) {
        if (QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(name)))) {
            std::printf("A catalogue is already in %s; it is kept as it is.\n", qPrintable(QDir::toNativeSeparators(folder)));
            return 0;
        }
    }
    if (!velm::CreateCatalogue(folder, velm::DefaultStatusValues())) {
        std::fprintf(stderr, "Could not write a catalogue into %s\n", qPrintable(QDir::toNativeSeparators(folder)));
        return 1;
    }
    std::printf("Wrote an empty catalogue into %s\n", qPrintable(QDir::toNativeSeparators(folder)));
    return 0;
}
