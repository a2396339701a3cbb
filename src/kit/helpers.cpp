#include "kit/helpers.h"

#include "kit/messages.h"
#include "catalogue/database_error.h"

namespace velm {

void ReportDatabaseError(const std::exception& error, int kind, const QString& oldName, const QString& newName) {
    QString text = QStringLiteral("An error has occurred when updating the database.\r\r");
    const auto* database = dynamic_cast<const EDatabaseError*>(&error);
    if (database && database->FirstCode() == kKeyViolation && kind == kImportedComponent) {
        text += QStringLiteral("Components must have unique names,\rso the imported component ") + oldName +
                QStringLiteral(" cannot be stored because its name already exists !");
    } else if (database && database->FirstCode() == kKeyViolation) {
        const bool category = kind == kRenameCategory;
        text += category ? QStringLiteral("Categories must have unique names,\r")
                         : QStringLiteral("Components must have unique names,\r");
        text += QStringLiteral("so change from ") + oldName + QStringLiteral(" to ") + newName +
                QStringLiteral(" is not possible because\r");
        text += newName + (category ? QStringLiteral(" already exist as a category !")
                                    : QStringLiteral(" already exist as a component !"));
    } else if (database && !database->File().isEmpty()) {
        // A failing catalogue file: which one, and what can be done.
        text += database->Text();
    }
    ShowError(text);
}

qint32 SetBit(qint32 mask, int bit, bool on) {
    const quint32 b = 1u << (static_cast<unsigned>(bit) & 31u);
    const quint32 bits = static_cast<quint32>(mask);
    return static_cast<qint32>(on ? bits | b : bits & ~b);
}

QString BaseNameWithoutExt(const QString& path) {
    // "\" and ":" end the folder part of a Windows path; "/" does on every platform.
    // Elsewhere they are ordinary characters of a file name.
    qsizetype start = 0;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
#ifdef Q_OS_WIN
        const bool windowsSeparator = c == QLatin1Char('\\') || c == QLatin1Char(':');
#else
        const bool windowsSeparator = false;
#endif
        if (windowsSeparator || c == QLatin1Char('/')) {
            start = i + 1;
            break;
        }
    }
    const QString name = path.mid(start);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

}  // namespace velm
