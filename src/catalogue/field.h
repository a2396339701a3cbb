#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

namespace velm {

class TTable;

enum class TFieldKind {
    String,    // text of at most Size characters, cut on assignment
    SmallInt,  // 16-bit signed integer, refused outside -32768..32767
    Boolean,
    Date,
    Memo,      // long text, read only when asked for
    AutoInc,   // assigned by the engine when the row is first posted; read-only
    Lookup,    // text looked up in another table; read-only
};

// How a lookup field finds its text: the row of LookupTable whose LookupKeyField
// equals this table's KeyField gives LookupResultField.
struct TLookupDef {
    QString keyField;
    TTable* lookupTable = nullptr;
    QString lookupKeyField;
    QString lookupResultField;
};

struct TFieldDef {
    QString name;
    TFieldKind kind = TFieldKind::String;
    int size = 0;  // characters, for String and Lookup
    TLookupDef lookup;
    // Fields that filters and locates often select by get an engine index.
    bool indexed = false;
};

// One field of a table's current row. Reads and writes go to the table's current
// record (or its edit buffer while the table is in edit or insert state).
class TField {
public:
    TField(TTable* table, TFieldDef def, int index);

    const QString& FieldName() const { return def_.name; }
    TFieldKind Kind() const { return def_.kind; }
    int Size() const { return def_.size; }
    int Index() const { return index_; }
    bool IsLookup() const { return def_.kind == TFieldKind::Lookup; }
    bool IsStored() const { return def_.kind != TFieldKind::Lookup; }
    bool ReadOnly() const { return def_.kind == TFieldKind::AutoInc || def_.kind == TFieldKind::Lookup; }
    const TFieldDef& Def() const { return def_; }
    TTable* Table() const { return table_; }

    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;  // empty reads as 0
    bool AsBoolean() const;  // empty reads as false
    QDate AsDate() const;    // empty reads as a null date
    // The memo's stored bytes (UTF-8), read from the table only now.
    QByteArray MemoBytes() const;

    void SetValue(const QVariant& value);
    void SetAsString(const QString& text);
    void SetAsInteger(int value);
    void SetAsBoolean(bool value);
    void SetAsDate(const QDate& date);
    void Clear();

private:
    TTable* table_;
    TFieldDef def_;
    int index_;
};

}  // namespace velm
