#include "kit/reg_file_format.h"

#include <QStringList>

namespace velm {

namespace {

QByteArray Utf16LeWithNul(const QString& text) {
    QByteArray bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    bytes.append('\0');
    bytes.append('\0');
    return bytes;
}

QString DecodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        QString text;
        text.reserve(bytes.size() / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            text.append(QChar(static_cast<char16_t>(static_cast<uchar>(bytes[i]) |
                                                    (static_cast<uchar>(bytes[i + 1]) << 8))));
        return text;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

// Reads 1 to 8 hex digits; none when the text is empty, too long or not hex.
std::optional<quint32> ParseHexNumber(QStringView text) {
    if (text.isEmpty() || text.size() > 8)
        return std::nullopt;
    quint32 value = 0;
    for (QChar c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<quint32>(digit);
    }
    return value;
}

// Reads a quoted text starting at text[pos] == '"'; pos ends after the closing quote.
// Only \\ and \" are escapes, as regedit writes them; any other backslash is literal.
std::optional<QString> ParseQuoted(QStringView text, qsizetype& pos) {
    if (pos >= text.size() || text[pos] != QLatin1Char('"'))
        return std::nullopt;
    QString result;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
            pos = i + 1;
            return result;
        }
        if (c == QLatin1Char('\\') && i + 1 < text.size() &&
            (text[i + 1] == QLatin1Char('\\') || text[i + 1] == QLatin1Char('"'))) {
            result.append(text[++i]);
            continue;
        }
        result.append(c);
    }
    return std::nullopt;  // no closing quote
}

bool OnlySpaceFrom(QStringView text, qsizetype pos) {
    return text.mid(pos).trimmed().isEmpty();
}

std::optional<QByteArray> ParseHexBytes(QStringView list) {
    QByteArray bytes;
    const QStringView trimmed = list.trimmed();
    if (trimmed.isEmpty())
        return bytes;
    const auto tokens = trimmed.split(QLatin1Char(','));
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QStringView token = tokens[i].trimmed();
        if (token.isEmpty() && i == tokens.size() - 1)
            break;  // a trailing comma
        if (token.size() > 2)
            return std::nullopt;
        const auto value = ParseHexNumber(token);
        if (!value)
            return std::nullopt;
        bytes.append(static_cast<char>(*value));
    }
    return bytes;
}

QString Escaped(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return out;
}

// Whether a text can stand between quotes on one line of UTF-8 and read back the same.
bool PrintableOnOneLine(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return QString::fromUtf8(text.toUtf8()) == text;  // no lone surrogates
}

QString HexList(const QByteArray& bytes, qsizetype prefixLength) {
    QString out;
    qsizetype lineLength = prefixLength;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += QStringLiteral("%1").arg(static_cast<uchar>(bytes[i]), 2, 16, QLatin1Char('0'));
        lineLength += 2;
        if (i + 1 < bytes.size()) {
            out += QLatin1Char(',');
            ++lineLength;
            if (lineLength > 76) {
                out += QLatin1String("\\\n  ");
                lineLength = 2;
            }
        }
    }
    return out;
}

QString DataText(const StoredValue& value, qsizetype prefixLength) {
    if (value.type == kRegString) {
        const QString text = value.Text();
        if (PrintableOnOneLine(text) && StoredValue::String(text).data == value.data)
            return QLatin1Char('"') + Escaped(text) + QLatin1Char('"');
    }
    if (const auto number = value.DWordValue())
        return QStringLiteral("dword:%1").arg(*number, 8, 16, QLatin1Char('0'));
    const QString prefix = value.type == kRegBinary
        ? QStringLiteral("hex:")
        : QStringLiteral("hex(%1):").arg(value.type, 0, 16);
    return prefix + HexList(value.data, prefixLength + prefix.size());
}

}  // namespace

StoredValue StoredValue::String(const QString& text) { return {kRegString, Utf16LeWithNul(text)}; }

StoredValue StoredValue::ExpandString(const QString& text) {
    return {kRegExpandString, Utf16LeWithNul(text)};
}

StoredValue StoredValue::DWord(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return {kRegDWord, bytes};
}

QString StoredValue::Text() const {
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(static_cast<uchar>(data[i]) |
                                                    (static_cast<uchar>(data[i + 1]) << 8));
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

std::optional<quint32> StoredValue::DWordValue() const {
    if (type != kRegDWord || data.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<uchar>(data[i]);
    return value;
}

RegDocument RegDocument::Parse(const QByteArray& bytes) {
    RegDocument document;
    const QStringList lines = DecodeText(bytes).split(QLatin1Char('\n'));
    QString currentKey;  // empty: values are ignored (no key yet, or a key deletion)
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            currentKey.clear();
            if (line.endsWith(QLatin1Char(']')) && line.size() > 2 && line[1] != QLatin1Char('-')) {
                currentKey = line.mid(1, line.size() - 2);
                document.AddKey(currentKey);
            }
            continue;
        }
        if (currentKey.isEmpty())
            continue;

        // "name"=data, or @=data for the default value.
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else {
            const auto quoted = ParseQuoted(line, pos);
            if (!quoted)
                continue;
            name = *quoted;
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            continue;
        const QString data = line.mid(pos + 1).trimmed();

        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype end = 0;
            const auto text = ParseQuoted(data, end);
            if (text && OnlySpaceFrom(data, end))
                document.SetValue(currentKey, name, StoredValue::String(*text));
            continue;
        }
        if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            if (const auto number = ParseHexNumber(QStringView(data).mid(6).trimmed()))
                document.SetValue(currentKey, name, StoredValue::DWord(*number));
            continue;
        }
        if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            quint32 type = kRegBinary;
            qsizetype colon = data.indexOf(QLatin1Char(':'));
            if (colon < 0)
                continue;
            const QStringView head = QStringView(data).left(colon).mid(3).trimmed();
            if (!head.isEmpty()) {
                if (!head.startsWith(QLatin1Char('(')) || !head.endsWith(QLatin1Char(')')))
                    continue;
                const auto number = ParseHexNumber(head.mid(1, head.size() - 2).trimmed());
                if (!number)
                    continue;
                type = *number;
            }
            // A long list goes on over following lines, each ending in a backslash.
            QString list = data.mid(colon + 1).trimmed();
            while (list.endsWith(QLatin1Char('\\'))) {
                list.chop(1);
                if (index + 1 >= lines.size())
                    break;
                list += lines[++index].trimmed();
            }
            if (const auto raw = ParseHexBytes(list))
                document.SetValue(currentKey, name, StoredValue{type, *raw});
            continue;
        }
        // Anything else ("-" deletions included) is not a value we can hold.
    }
    return document;
}

QByteArray RegDocument::Serialize() const {
    QString out = QStringLiteral("Windows Registry Editor Version 5.00\n");
    for (const Key& key : keys_) {
        out += QLatin1String("\n[") + key.path + QLatin1String("]\n");
        for (const NamedValue& named : key.values) {
            const QString head = named.name.isEmpty()
                ? QStringLiteral("@=")
                : QLatin1Char('"') + Escaped(named.name) + QLatin1String("\"=");
            out += head + DataText(named.value, head.size()) + QLatin1Char('\n');
        }
    }
    return out.toUtf8();
}

RegDocument::Key* RegDocument::FindKey(const QString& path) {
    const auto found = keyIndex_.constFind(path.toCaseFolded());
    return found == keyIndex_.constEnd() ? nullptr : &keys_[*found];
}

const RegDocument::Key* RegDocument::FindKey(const QString& path) const {
    const auto found = keyIndex_.constFind(path.toCaseFolded());
    return found == keyIndex_.constEnd() ? nullptr : &keys_[*found];
}

bool RegDocument::HasKey(const QString& path) const { return FindKey(path) != nullptr; }

void RegDocument::AddKey(const QString& path) {
    if (FindKey(path))
        return;
    keyIndex_.insert(path.toCaseFolded(), keys_.size());
    keys_.append({path, {}, {}});
}

std::optional<StoredValue> RegDocument::Value(const QString& keyPath, const QString& name) const {
    const Key* key = FindKey(keyPath);
    if (!key)
        return std::nullopt;
    const auto found = key->valueIndex.constFind(name.toCaseFolded());
    if (found == key->valueIndex.constEnd())
        return std::nullopt;
    return key->values[*found].value;
}

void RegDocument::SetValue(const QString& keyPath, const QString& name, const StoredValue& value) {
    AddKey(keyPath);
    Key* key = FindKey(keyPath);
    const QString folded = name.toCaseFolded();
    const auto found = key->valueIndex.constFind(folded);
    if (found != key->valueIndex.constEnd()) {
        key->values[*found].value = value;
        return;
    }
    key->valueIndex.insert(folded, key->values.size());
    key->values.append({name, value});
}

}  // namespace velm
