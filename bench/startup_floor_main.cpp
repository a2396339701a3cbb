// The floor of the start-up benchmark: the least a Qt program does to show a catalogue's
// tree. It reads the category and package names straight from the table files, builds a
// tree widget with a node for every one, shows it and ends once it is shown and idle.
//   startup-floor FOLDER        (the catalogue is in FOLDER/dbase)
#include "app/shown_and_idle.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QTreeWidget>

#include <sqlite3.h>

#include <cstdio>

namespace {

QString Text(sqlite3_stmt* statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: startup-floor FOLDER\n");
        return 2;
    }
    // The window first, as a program does: Qt's start-up work for it (under X it may
    // start a helper process) is then done while the process is still small.
    QTreeWidget tree;
    tree.setHeaderHidden(true);
    tree.resize(763, 554);

    const QDir data(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("dbase")));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(data.filePath(QStringLiteral("CPInfo.DB")).toUtf8().constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "startup-floor: cannot open %s\n", qPrintable(data.filePath(QStringLiteral("CPInfo.DB"))));
        return 1;
    }
    const QByteArray attach = "ATTACH DATABASE '" + data.filePath(QStringLiteral("Category.db")).toUtf8() + "' AS c";
    sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr);

    QList<QTreeWidgetItem*> categories;
    QHash<qint64, QTreeWidgetItem*> byId;
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT ID, Name FROM c.Category ORDER BY Name COLLATE NOCASE", -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW) {
        auto* node = new QTreeWidgetItem(QStringList{Text(select, 1)});
        categories << node;
        byId.insert(sqlite3_column_int64(select, 0), node);
    }
    sqlite3_finalize(select);
    sqlite3_prepare_v2(db, "SELECT Category, ProductName FROM CPInfo ORDER BY ID", -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW)
        if (QTreeWidgetItem* category = byId.value(sqlite3_column_int64(select, 0)))
            category->addChild(new QTreeWidgetItem(QStringList{Text(select, 1)}));
    sqlite3_finalize(select);
    sqlite3_close_v2(db);

    tree.addTopLevelItems(categories);
    tree.show();
    velm::WhenShownAndIdle(&tree, [] {
        std::puts("Main window shown and idle");
        std::fflush(stdout);
        QApplication::quit();
    });
    return QApplication::exec();
}
