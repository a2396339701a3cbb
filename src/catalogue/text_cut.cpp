#include "catalogue/text_cut.h"

#include <QTextBoundaryFinder>

namespace velm {

QString CutAtCharacter(const QString& text, qsizetype maxLength) {
    if (maxLength <= 0 || text.size() <= maxLength)
        return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(maxLength);
    // A position inside a character moves back to where the character starts.
    const qsizetype end = characters.isAtBoundary() ? maxLength : characters.toPreviousBoundary();
    return text.left(end < 0 ? 0 : end);
}

}  // namespace velm
