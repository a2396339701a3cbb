#include "catalogue/database.h"

#include "catalogue/database_error.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace velm {

int EngineErrorCode(int sqliteExtendedCode) {
    switch (sqliteExtendedCode) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return kKeyViolation;
    default:
        // Only the primary result code: it can never be mistaken for 9729.
        return sqliteExtendedCode & 0xff;
    }
}

QString AdviceFor(int code, const QString& message) {
    switch (code) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("The file is damaged. Close Velmora and put back a copy of the file from a backup.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Another program, or another copy of Velmora, is using the file. Close it and try "
                              "again.");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("The file cannot be written. Check that you may write to the file and to its folder.");
    case SQLITE_FULL:
        return QStringLiteral("The disk is full. Make room on it and try again.");
    case SQLITE_IOERR:
        return QStringLiteral("The file could not be read or written. Check the disk and try again.");
    case SQLITE_CANTOPEN:
        return QStringLiteral("The file cannot be opened. Check that it is there and that you may write to it and "
                              "to its folder.");
    case SQLITE_ERROR:
        if (message.startsWith(QLatin1String("no such table")) || message.startsWith(QLatin1String("no such column")) ||
            message.contains(QLatin1String("has no column")))
            return QStringLiteral("The file does not hold the table Velmora expects; another program may have "
                                  "changed it. Put back a copy of the file from a backup.");
        return {};
    default:
        return {};
    }
}

QString QuoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {

// The failure of the connection's last call. One of a catalogue file (owner given) says
// which file and what to do; a key violation is the callers' to explain.
[[noreturn]] void Raise(sqlite3* db, int rc, const TDatabase* owner = nullptr, const QString& sql = QString()) {
    if (owner)
        owner->Fail(rc, sql);
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int code = EngineErrorCode(extended);
    if (code == kKeyViolation)
        message = QStringLiteral("Key violation");
    throw EDatabaseError(message, {code});
}

// A read-write URI that never creates the file, whatever characters its path holds.
QString ReadWriteUri(const QString& path) {
    return QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()) +
           QStringLiteral("?mode=rw");
}

}  // namespace

// ---------------------------------------------------------------------------------

TStatement::TStatement(sqlite3* db, const QString& sql, const TDatabase* owner) : db_(db), owner_(owner), sql_(sql) {
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db_, text.constData(), static_cast<int>(text.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

void TStatement::Fail(int resultCode) const { Raise(db_, resultCode, owner_, sql_); }

TStatement::~TStatement() { sqlite3_finalize(stmt_); }

void TStatement::Bind(int position, const QVariant& value) {
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(stmt_, position);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt_, position, value.toLongLong());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_text(stmt_, position, bytes.constData(), static_cast<int>(bytes.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray bytes = value.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, position, bytes.constData(), static_cast<int>(bytes.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        Fail(rc);
}

bool TStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    Fail(rc);
}

void TStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void TStatement::Run() {
    const TResetOnExit reset(*this);
    while (Step()) {
    }
}

bool TStatement::ColumnIsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

TColumnType TStatement::ColumnType(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_NULL: return TColumnType::Null;
    case SQLITE_INTEGER: return TColumnType::Integer;
    default: return TColumnType::Other;
    }
}

qint64 TStatement::ColumnInt(int column) const { return sqlite3_column_int64(stmt_, column); }

QString TStatement::ColumnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column)) : QString();
}

std::string_view TStatement::ColumnUtf8(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string_view();
}

QByteArray TStatement::ColumnBytes(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return data ? QByteArray(data, sqlite3_column_bytes(stmt_, column)) : QByteArray();
}

QVariant TStatement::Column(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_NULL: return QVariant();
    case SQLITE_INTEGER: return QVariant(ColumnInt(column));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt_, column));
    default: return QVariant(ColumnText(column));
    }
}

// ---------------------------------------------------------------------------------

TDatabase::TDatabase(QString folder) : folder_(std::move(folder)) {}

TDatabase::~TDatabase() {
    statements_.clear();
    if (db_)
        sqlite3_close_v2(db_);
}

void TDatabase::OpenMain(const QString& path) {
    const QByteArray uri = ReadWriteUri(path).toUtf8();
    const int rc = sqlite3_open_v2(uri.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db_);
        db_ = nullptr;
        EDatabaseError error(QStringLiteral("Cannot open table %1: %2").arg(QFileInfo(path).fileName(), message),
                             {EngineErrorCode(rc)});
        error.SetFile(path, AdviceFor(rc & 0xff, message));
        throw error;
    }
    sqlite3_extended_result_codes(db_, 1);
    // Another copy of the program may hold the files for a moment.
    sqlite3_busy_timeout(db_, 2000);
}

QString TDatabase::AttachFile(const QString& fileName) {
    const QString key = fileName.toUpper();
    if (auto it = schemas_.find(key); it != schemas_.end()) {
        ++users_[key];
        return it->second;
    }
    const QString path = QDir(folder_).filePath(fileName);
    // The file named in an open failure, with what the user can do about it.
    const auto openFailure = [&path](const QString& message, const std::vector<int>& codes) {
        EDatabaseError error(QStringLiteral("Cannot open table %1: %2").arg(QFileInfo(path).fileName(), message), codes);
        error.SetFile(path, AdviceFor(codes.empty() ? 0 : codes.front(), message));
        return error;
    };
    if (!QFileInfo(path).isFile())
        throw openFailure(QStringLiteral("file not found"), {SQLITE_CANTOPEN});
    QString schema;
    if (!db_) {
        OpenMain(path);
        schema = QStringLiteral("main");
    } else {
        schema = QStringLiteral("t_") + QFileInfo(fileName).completeBaseName().toLower();
        TStatement attach(db_, QStringLiteral("ATTACH DATABASE ? AS ") + QuoteIdentifier(schema));
        attach.Bind(1, ReadWriteUri(path));
        try {
            attach.Run();
        } catch (const EDatabaseError& e) {
            throw openFailure(e.Message(), e.Codes());
        }
    }
    try {
        // Atomic commits across the attached files need a rollback journal.
        Exec(QStringLiteral("PRAGMA %1.journal_mode=DELETE").arg(QuoteIdentifier(schema)));
        // Touch the schema now, so a damaged file fails at open and not at first read.
        Exec(QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(QuoteIdentifier(schema)));
    } catch (const EDatabaseError& e) {
        if (schema != QLatin1String("main")) {
            Exec(QStringLiteral("DETACH DATABASE %1").arg(QuoteIdentifier(schema)));
        } else {
            // The next file opened must become the main one again.
            statements_.clear();
            sqlite3_close_v2(db_);
            db_ = nullptr;
        }
        throw openFailure(e.Message(), e.Codes());
    }
    schemas_[key] = schema;
    paths_[schema] = path;
    users_[key] = 1;
    return schema;
}

void TDatabase::DetachFile(const QString& fileName) {
    const QString key = fileName.toUpper();
    auto it = schemas_.find(key);
    if (it == schemas_.end())
        return;
    if (--users_[key] > 0)
        return;
    users_.erase(key);
    paths_.erase(it->second);
    if (it->second != QLatin1String("main")) {
        statements_.clear();
        try {
            Exec(QStringLiteral("DETACH DATABASE %1").arg(QuoteIdentifier(it->second)));
        } catch (const EDatabaseError&) {
            // Detaching inside a transaction fails; the connection closes with the last table.
        }
    }
    schemas_.erase(it);
    if (schemas_.empty()) {
        paths_.clear();
        statements_.clear();
        sqlite3_close_v2(db_);
        db_ = nullptr;
        inTransaction_ = false;
    }
}

QString TDatabase::SchemaOf(const QString& fileName) const {
    const auto it = schemas_.find(fileName.toUpper());
    return it == schemas_.end() ? QString() : it->second;
}

TStatement& TDatabase::Prepare(const QString& sql) {
    auto it = statements_.find(sql);
    if (it == statements_.end())
        it = statements_.emplace(sql, std::make_unique<TStatement>(db_, sql, this)).first;
    return *it->second;
}

void TDatabase::Exec(const QString& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        Fail(rc, sql);
}

qint64 TDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int TDatabase::Changes() const { return sqlite3_changes(db_); }

qint64 TDatabase::TotalChanges() const { return db_ ? sqlite3_total_changes64(db_) : 0; }

void TDatabase::StartTransaction() {
    if (inTransaction_)
        throw EDatabaseError(QStringLiteral("A transaction is already active"), {SQLITE_MISUSE});
    Exec(QStringLiteral("BEGIN IMMEDIATE"));
    inTransaction_ = true;
}

void TDatabase::Commit() {
    Exec(QStringLiteral("COMMIT"));
    inTransaction_ = false;
}

void TDatabase::Rollback() {
    inTransaction_ = false;
    if (!sqlite3_get_autocommit(db_))
        Exec(QStringLiteral("ROLLBACK"));
}

void TDatabase::Fail(int resultCode, const QString& sql) const {
    const int extended = db_ ? sqlite3_extended_errcode(db_) : resultCode;
    const int code = EngineErrorCode(extended);
    if (code == kKeyViolation)
        throw EDatabaseError(QStringLiteral("Key violation"), {code});
    QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(resultCode));
    // A refused value is the row's fault, not the file's.
    if (code == SQLITE_CONSTRAINT)
        throw EDatabaseError(message, {code});
    // The engine's message or the statement names the file by its schema; the schema is
    // this connection's own name for it and means nothing to the user.
    QString file;
    for (const auto& [schema, path] : paths_) {
        const QString prefix = schema + QLatin1Char('.');
        if (message.contains(prefix)) {
            message.replace(prefix, QString());
            file = path;
            break;
        }
    }
    for (auto it = paths_.begin(); file.isEmpty() && it != paths_.end(); ++it)
        if (sql.contains(QuoteIdentifier(it->first) + QLatin1Char('.')))
            file = it->second;
    EDatabaseError error(message, {code});
    // A statement of no one file (a transaction's begin or end) concerns them all.
    error.SetFile(file.isEmpty() ? folder_ + QLatin1Char('/') : file, AdviceFor(code, message));
    throw error;
}

// ---------------------------------------------------------------------------------

TSession& TSession::Instance() {
    static TSession session;
    return session;
}

bool TSession::IsAlias(const QString& name) const { return aliases_.contains(name.toUpper()); }

void TSession::AddStandardAlias(const QString& name, const QString& folder) {
    aliases_.insert(name.toUpper(), folder);
}

void TSession::DeleteAlias(const QString& name) { aliases_.remove(name.toUpper()); }

QString TSession::AliasPath(const QString& name) const { return aliases_.value(name.toUpper()); }

TDatabase& TSession::DatabaseFor(const QString& aliasOrFolder) {
    const QString folder = IsAlias(aliasOrFolder) ? AliasPath(aliasOrFolder) : aliasOrFolder;
    if (folder.isEmpty())
        throw EDatabaseError(QStringLiteral("Unknown database: %1").arg(aliasOrFolder), {SQLITE_CANTOPEN});
    const QString key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    auto it = databases_.find(key);
    if (it == databases_.end())
        it = databases_.emplace(key, std::make_unique<TDatabase>(key)).first;
    return *it->second;
}

void TSession::ReleaseIfUnused(const QString& aliasOrFolder) {
    const QString folder = IsAlias(aliasOrFolder) ? AliasPath(aliasOrFolder) : aliasOrFolder;
    const QString key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    auto it = databases_.find(key);
    if (it != databases_.end() && !it->second->HasOpenFiles())
        databases_.erase(it);
}

}  // namespace velm
