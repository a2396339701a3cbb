#include "catalogue/database_error.h"

#include <QDir>

namespace velm {

EDatabaseError::EDatabaseError(QString message, std::vector<int> codes)
    : message_(std::move(message)), codes_(std::move(codes)), utf8_(message_.toStdString()) {}

void EDatabaseError::SetFile(const QString& file, const QString& advice) {
    file_ = file;
    advice_ = advice;
    utf8_ = Text().toStdString();
}

QString EDatabaseError::Text() const {
    if (file_.isEmpty())
        return message_;
    QString text = message_ + (file_.endsWith(QLatin1Char('/')) ? QStringLiteral("\rCatalogue folder: ")
                                                                 : QStringLiteral("\rCatalogue file: ")) +
                   QDir::toNativeSeparators(file_);
    if (!advice_.isEmpty())
        text += QLatin1Char('\r') + advice_;
    return text;
}

}  // namespace velm
