#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace velm {

// Registry value type numbers, as the Windows registry numbers them.
enum RegistryType : quint32 {
    kRegNone = 0,
    kRegString = 1,        // REG_SZ
    kRegExpandString = 2,  // REG_EXPAND_SZ
    kRegBinary = 3,        // REG_BINARY
    kRegDWord = 4,         // REG_DWORD, little-endian
};

// One stored value: its registry type and its bytes exactly as the registry would hold
// them (strings as UTF-16LE with a closing NUL, a dword as four little-endian bytes).
// Keeping raw bytes lets a value of any type survive a load and save unchanged.
struct StoredValue {
    quint32 type = kRegNone;
    QByteArray data;

    static StoredValue String(const QString& text);
    static StoredValue ExpandString(const QString& text);
    static StoredValue DWord(quint32 value);

    // The text of a string-typed value, up to its first NUL.
    QString Text() const;
    // The number of a dword value; none for any other type or a malformed size.
    std::optional<quint32> DWordValue() const;

    bool operator==(const StoredValue&) const = default;
};

// The contents of a settings file in the .reg export syntax: keys (full paths such as
// "HKEY_CURRENT_USER\Software\...") holding named values. Key paths and value names
// compare without regard to case, as in the registry; their spelling is kept.
class RegDocument {
public:
    struct NamedValue {
        QString name;  // "" is the key's default value ("@" in the file)
        StoredValue value;
    };
    struct Key {
        QString path;
        QList<NamedValue> values;
        QHash<QString, qsizetype> valueIndex;  // case-folded name -> position in values
    };

    // Reads the text of a .reg file (UTF-8, or UTF-16LE with its byte order mark).
    // Lines it cannot read are skipped; nothing in the bytes can make it fail.
    static RegDocument Parse(const QByteArray& bytes);
    // Writes the document as UTF-8 .reg text that Parse reads back to the same values.
    QByteArray Serialize() const;

    bool HasKey(const QString& path) const;
    // Adds the key when missing; an existing key keeps its values.
    void AddKey(const QString& path);
    std::optional<StoredValue> Value(const QString& keyPath, const QString& name) const;
    // Sets a value of an existing key (adding the key first if needed).
    void SetValue(const QString& keyPath, const QString& name, const StoredValue& value);

    const QList<Key>& Keys() const { return keys_; }

private:
    Key* FindKey(const QString& path);
    const Key* FindKey(const QString& path) const;

    QList<Key> keys_;
    QHash<QString, qsizetype> keyIndex_;  // case-folded path -> position in keys_
};

}  // namespace velm
