#include "import/ini_file.h"

#include "import/code_pages.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringView>

#include <limits>

namespace velm {

namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

QStringView TrimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QString Fold(QStringView text) { return text.toString().toCaseFolded(); }

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}  // namespace

namespace {

// Half a surrogate pair from a broken UTF-16 file would be stored as "?": it becomes the
// replacement character instead.
QString WithoutLoneSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

}  // namespace

QString DecodeIniText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        return WithoutLoneSurrogates(decoder(QByteArrayView(bytes).sliced(2)));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE);
        return WithoutLoneSurrogates(decoder(QByteArrayView(bytes).sliced(2)));
    }
    return DecodeWindowsText(bytes);
}

namespace {

bool IsListed(QStringView name, const QStringList& names) {
    for (const QString& listed : names) {
        if (name.compare(listed, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// "1" to the limit, written as the numbered lines are looked up: no sign, no leading zero.
bool IsNumberedKey(QStringView key, int limit) {
    if (key.isEmpty() || key.size() > 10 || key[0] == u'0')
        return false;
    qint64 number = 0;
    for (const QChar c : key) {
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number <= limit;
}

// Compared in place, so that a name of millions of characters is never copied.
bool IsSelectedKey(QStringView key, const TIniSelection& selection) {
    if (selection.Keys.isEmpty() && selection.NumberedKeys <= 0)
        return true;
    return IsListed(key, selection.Keys) || IsNumberedKey(key, selection.NumberedKeys);
}

}  // namespace

TIniFile::TIniFile(const QString& fileName, const TIniSelection& selection) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // The bytes go before parsing starts: only the text is held while it is parsed.
    const QString text = DecodeIniText(file.read(qBound(qint64(0), file.size(), kMaxFileSize)));
    file.close();
    Parse(text, selection);
}

TIniFile TIniFile::FromBytes(const QByteArray& bytes, const TIniSelection& selection) {
    TIniFile ini;
    ini.Parse(DecodeIniText(bytes.left(kMaxFileSize)), selection);
    return ini;
}

void TIniFile::Parse(const QString& text, const TIniSelection& selection) {
    Section* current = nullptr;  // lines before the first section header belong nowhere
    const QStringView all(text);
    qsizetype pos = 0;
    while (pos < all.size()) {
        qsizetype end = pos;
        while (end < all.size() && all[end] != u'\n' && all[end] != u'\r')
            ++end;
        const QStringView line = TrimBlanks(all.sliced(pos, end - pos));
        pos = end + 1;
        if (line.isEmpty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            const qsizetype close = line.indexOf(u']');
            const QStringView name = TrimBlanks(close < 0 ? line.sliced(1) : line.sliced(1, close - 1));
            if (!selection.Sections.isEmpty() && !IsListed(name, selection.Sections)) {
                current = nullptr;
                continue;
            }
            const QString folded = Fold(name);
            const auto found = sectionIndex_.constFind(folded);
            if (found != sectionIndex_.constEnd()) {
                // A repeated section is never looked at: lookups stop at the first one.
                current = nullptr;
            } else {
                sectionIndex_.insert(folded, qsizetype(sections_.size()));
                sections_.emplace_back();
                current = &sections_.back();
            }
            continue;
        }
        if (!current)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QStringView keyText = TrimBlanks(line.first(equals));
        if (keyText.isEmpty() || !IsSelectedKey(keyText, selection))
            continue;
        const QString key = Fold(keyText);
        if (current->values.contains(key))
            continue;
        QStringView value = TrimBlanks(line.sliced(equals + 1));
        if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
            value = value.sliced(1, value.size() - 2);
        // A value ends at its first NUL, as the profile functions return it; kept, the
        // NUL would cut the stored text short for every other SQLite tool.
        if (const qsizetype nul = value.indexOf(QChar(0)); nul >= 0)
            value = value.first(nul);
        current->values.insert(key, value.first(qMin(value.size(), qsizetype(kMaxValueLength))).toString());
    }
}

const QString* TIniFile::Find(const QString& section, const QString& key) const {
    const auto found = sectionIndex_.constFind(Fold(TrimBlanks(section)));
    if (found == sectionIndex_.constEnd())
        return nullptr;
    const QHash<QString, QString>& values = sections_[size_t(*found)].values;
    const auto value = values.constFind(Fold(TrimBlanks(key)));
    return value == values.constEnd() ? nullptr : &*value;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    const QString* value = Find(section, key);
    return value ? *value : defaultValue;
}

bool TIniFile::SectionExists(const QString& section) const {
    return sectionIndex_.contains(Fold(TrimBlanks(section)));
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    const QString* text = Find(section, key);
    int value = 0;
    if (!text || !ParseInteger(*text, value))
        return defaultValue;
    return value;
}

bool TIniFile::ParseInteger(const QString& text, int& value) {
    QStringView rest(text);
    bool negative = false;
    if (!rest.isEmpty() && (rest[0] == u'-' || rest[0] == u'+')) {
        negative = rest[0] == u'-';
        rest = rest.sliced(1);
    }
    int base = 10;
    if (rest.startsWith(u'$')) {
        base = 16;
        rest = rest.sliced(1);
    } else if (rest.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        rest = rest.sliced(2);
    }
    if (rest.isEmpty())
        return false;
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    qint64 magnitude = 0;
    for (const QChar c : rest) {
        const int digit = HexDigit(c);
        if (digit < 0 || digit >= base)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = int(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace velm
