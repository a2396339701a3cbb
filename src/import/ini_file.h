#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace velm {

// The part of an INI file a reader looks at, names compared without regard to letter
// case. All else is passed over while the file is parsed, so that a hostile file of
// millions of sections or keys costs no more memory than the values asked for. An
// empty list of sections selects every section; no keys and no numbered keys select
// every key.
struct TIniSelection {
    QStringList Sections;
    QStringList Keys;
    int NumberedKeys = 0;  // the keys "1", "2", ... up to this number as well
};

// Read-only INI file with the lookup rules of the Windows private-profile routines:
// sections and keys are found without regard to letter case, the first of several
// equal sections or keys wins, values lose surrounding blanks and one pair of
// enclosing quotation marks and are cut to 2047 characters, and anything missing gives
// the caller's default. The file is read once, when the object is made; the object
// never writes. Only the selected sections and keys are kept: the others read as
// missing.
class TIniFile {
public:
    static constexpr int kMaxValueLength = 2047;
    // Info files are a few kilobytes; more than this is not an info file, and the rest
    // is ignored rather than held in memory.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

    TIniFile() = default;
    // A missing or unreadable file behaves as an empty one.
    explicit TIniFile(const QString& fileName, const TIniSelection& selection = {});
    static TIniFile FromBytes(const QByteArray& bytes, const TIniSelection& selection = {});

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // The value must be a whole decimal number, or hexadecimal after "0x" or "$",
    // optionally signed, within 32 bits; anything else gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool SectionExists(const QString& section) const;

    // The integer rule on its own; false when the text is not such a number.
    static bool ParseInteger(const QString& text, int& value);

private:
    struct Section {
        QHash<QString, QString> values;  // case-folded key -> value
    };

    void Parse(const QString& text, const TIniSelection& selection);
    const QString* Find(const QString& section, const QString& key) const;

    std::vector<Section> sections_;
    QHash<QString, qsizetype> sectionIndex_;  // case-folded name -> first section of that name
};

// The text of an INI file's bytes: a byte order mark decides when present, otherwise
// UTF-8 when valid, otherwise Windows-1252.
QString DecodeIniText(const QByteArray& bytes);

}  // namespace velm
