#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace velm {

class TDatabase;

// What a column of the current row holds, as far as the table layer tells them apart.
enum class TColumnType { Null, Integer, Other };

// A prepared statement with positional parameters, reused for every query of its shape.
class TStatement {
public:
    // A failure names the catalogue file the statement works on when owner is given.
    TStatement(sqlite3* db, const QString& sql, const TDatabase* owner = nullptr);
    ~TStatement();
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    void Bind(int position, const QVariant& value);  // positions start at 1
    bool Step();                                    // true while a row is available
    void Reset();
    void Run();  // steps to the end and resets

    bool ColumnIsNull(int column) const;
    TColumnType ColumnType(int column) const;
    qint64 ColumnInt(int column) const;
    QString ColumnText(int column) const;
    // The column's text as the engine holds it (UTF-8), valid until the next step.
    std::string_view ColumnUtf8(int column) const;
    QByteArray ColumnBytes(int column) const;
    QVariant Column(int column) const;

private:
    [[noreturn]] void Fail(int resultCode) const;

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    const TDatabase* owner_;
    QString sql_;
};

// Resets a statement when the scope that steps it ends, normally or by an exception: a
// statement left half-way keeps its read open and its values bound for the next user of
// the same shape.
class TResetOnExit {
public:
    explicit TResetOnExit(TStatement& statement) : statement_(statement) {}
    ~TResetOnExit() { statement_.Reset(); }
    TResetOnExit(const TResetOnExit&) = delete;
    TResetOnExit& operator=(const TResetOnExit&) = delete;

private:
    TStatement& statement_;
};

// An identifier quoted for SQL, whatever characters it holds.
QString QuoteIdentifier(const QString& name);

// One connection to the catalogue files of an alias. The first table file opened is
// the main database and the others are attached to it, so one transaction spans them
// all and lookups are joins.
class TDatabase {
public:
    explicit TDatabase(QString folder);
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    const QString& Folder() const { return folder_; }

    // Makes the file's table reachable and returns the schema that holds it. The file
    // must exist: nothing is ever created in place of a missing one. Every attach is
    // paired with a detach; the file goes when its last user detaches it.
    QString AttachFile(const QString& fileName);
    void DetachFile(const QString& fileName);
    bool HasOpenFiles() const { return !schemas_.empty(); }
    // The schema that holds an attached file's tables; empty when it is not attached.
    QString SchemaOf(const QString& fileName) const;
    // The connection itself, for what the statements above cannot do (functions of
    // our own, say); null while no file is open.
    sqlite3* Handle() const { return db_; }

    TStatement& Prepare(const QString& sql);
    void Exec(const QString& sql);
    qint64 LastInsertId() const;
    // The rows the last statement inserted, changed or deleted.
    int Changes() const;
    // Goes up with every row any statement of the connection has inserted, changed or
    // deleted, triggers included: whoever shows query results knows by it when to ask
    // again. 0 while no file is open.
    qint64 TotalChanges() const;

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return inTransaction_; }

    // Converts the connection's last failure into a database error. It names the file
    // the failed statement (or the engine's message) names, or else the folder.
    [[noreturn]] void Fail(int resultCode, const QString& sql = QString()) const;

private:
    void OpenMain(const QString& path);
    std::map<QString, QString> paths_;  // schema -> file path
    QString folder_;
    sqlite3* db_ = nullptr;
    std::map<QString, QString> schemas_;  // file name (upper case) -> schema
    std::map<QString, int> users_;        // file name (upper case) -> attach count
    std::map<QString, std::unique_ptr<TStatement>> statements_;
    bool inTransaction_ = false;
};

// The aliases the running process has registered, and their open databases.
class TSession {
public:
    static TSession& Instance();

    bool IsAlias(const QString& name) const;
    // Registers a name for a folder, for this process only.
    void AddStandardAlias(const QString& name, const QString& folder);
    void DeleteAlias(const QString& name);
    QString AliasPath(const QString& name) const;

    // The database of an alias (or of a folder given directly); opened on first use.
    TDatabase& DatabaseFor(const QString& aliasOrFolder);
    void ReleaseIfUnused(const QString& aliasOrFolder);

private:
    QHash<QString, QString> aliases_;  // upper-case name -> folder
    std::map<QString, std::unique_ptr<TDatabase>> databases_;
};

// SQLite's result of an engine failure mapped to our error codes: a violated unique or
// primary key becomes 9729.
int EngineErrorCode(int sqliteExtendedCode);

// What the user can do about a failure of a catalogue file, by the failure's code and
// message; empty when there is nothing useful to say.
QString AdviceFor(int code, const QString& message);

// Runs the work in the transaction that is open, or in one of its own, committed when the
// work ends and rolled back when it throws.
template <typename Work>
void InTransaction(TDatabase& database, Work&& work) {
    const bool own = !database.InTransaction();
    if (own)
        database.StartTransaction();
    try {
        work();
        if (own)
            database.Commit();
    } catch (...) {
        if (own)
            database.Rollback();
        throw;
    }
}

}  // namespace velm
