#pragma once

#include <QString>

namespace velm {

// The longest beginning of the text, at most maxLength UTF-16 units long, that ends
// between two whole characters: never inside a surrogate pair or a combining sequence,
// so a cut name never ends in half a character. maxLength 0 or less keeps the text.
QString CutAtCharacter(const QString& text, qsizetype maxLength);

}  // namespace velm
