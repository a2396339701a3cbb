#include "browser/newer_version_line.h"

#include "catalogue/data_module.h"
#include "catalogue/duplicate_packages.h"
#include "import/outside_text.h"

namespace velm {

TNewerVersionLine::TNewerVersionLine(TDMvelm& module, QWidget* parent) : QLabel(parent), module_(module) {
    setObjectName(QStringLiteral("LabelNewerVersion"));
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    hide();
    connect(this, &QLabel::linkActivated, this, [this] {
        if (newerId_ != 0)
            emit newerVersionChosen(newerId_);
    });
}

void TNewerVersionLine::ShowFor(qint64 packageId) {
    newerId_ = 0;
    const std::optional<TCataloguedPackage> newer =
        module_.ArchiveIndex() ? NewerVersionOf(*module_.ArchiveIndex(), packageId) : std::nullopt;
    if (!newer) {
        hide();
        clear();
        return;
    }
    newerId_ = newer->Id;
    // The name comes from an archive's file name: shown as text, never as markup.
    // What the newer one works with decides whether it is of use to the user.
    const QString worksWith =
        newer->WorksWith.isEmpty() ? QString() : QStringLiteral(" (works with %1)").arg(newer->WorksWith.toHtmlEscaped());
    setText(QStringLiteral("A newer version, %1, is catalogued as <a href=\"package\">%2</a>%3")
                .arg(newer->Version.Text(), ShowableText(newer->ProductName).toHtmlEscaped(), worksWith));
    show();
}

}  // namespace velm
