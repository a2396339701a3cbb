#pragma once

#include "catalogue/data_source.h"
#include "catalogue/table.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <stdexcept>

namespace velm {

enum TfxMatchType { maFull = 0, maBeginning = 1, maAnywhere = 2 };

// Where the cursor goes when a search finds nothing.
enum TfxFailPos {
    fpOriginal = 0,     // back to the record that was current before the search
    fpWhereStopped = 1  // stays where the search stopped (the end of a scan, say)
};

enum TfxLocateError { erNone = 0, erDataset = 1, erField = 2, erMem = 3 };

enum TfxOptError { erOptNone = 0, erNoInd = 1, erMatchType = 2, erCaseSens = 3, erNotTable = 4 };

// Raised inside a memo comparison when the field's bytes cannot be read; the
// comparison catches it and reports erMem.
class EfxLocateException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Finds the record of a table whose chosen field matches a search text and leaves the
// table's cursor on it, either by scanning in record order or by one seek on a fitting
// index. A search that finds nothing puts the cursor back where it was.
//
// Works on the table layer only (no widgets): the mouse cursor is shown through the
// ShowCursor/RestoreCursor hooks, which the window that owns the engine installs.
class TfxLocate : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxMemoSizeLimit = 1048575;
    static constexpr int kDefaultMaxMemoSize = 32767;

    explicit TfxLocate(QObject* parent = nullptr);
    ~TfxLocate() override;

    // Searches from the first record, or from the record after the current one, then
    // calls OnFind or OnFail. Refused (nothing changes, no hook runs) while a search of
    // this engine is running, for example from an event handled during a scan.
    void FindFirst();
    void FindNext();
    bool Busy() const { return running_; }

    // Settings.
    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* source) { dataSource_ = source; }
    const QString& DataField() const { return dataField_; }
    void SetDataField(const QString& name) { dataField_ = name; }
    const QString& FindText() const { return findText_; }
    void SetFindText(const QString& text) { findText_ = text; }
    TfxMatchType MatchType() const { return matchType_; }
    void SetMatchType(TfxMatchType type) { matchType_ = type; }
    bool IgnoreCase() const { return ignoreCase_; }
    void SetIgnoreCase(bool on) { ignoreCase_ = on; }
    bool DisableControls() const { return disableControls_; }
    void SetDisableControls(bool on) { disableControls_ = on; }
    Qt::CursorShape FindCursor() const { return findCursor_; }
    void SetFindCursor(Qt::CursorShape cursor) { findCursor_ = cursor; }
    TfxFailPos FailPos() const { return failPos_; }
    void SetFailPos(TfxFailPos pos) { failPos_ = pos; }
    bool DoBackground() const { return doBackground_; }
    void SetDoBackground(bool on) { doBackground_ = on; }
    // Records a scan examines between two turns of the event loop; at least 1.
    int BackgroundInterval() const { return backgroundInterval_; }
    void SetBackgroundInterval(int records);
    int NumRecs() const { return numRecs_; }
    void SetNumRecs(int records) { numRecs_ = records; }
    bool UseIndexes() const { return useIndexes_; }
    void SetUseIndexes(bool on) { useIndexes_ = on; }
    int ProgressCount() const { return progressCount_; }
    void SetProgressCount(int count);  // below 0 is ignored
    int MaxMemoSize() const { return maxMemoSize_; }
    void SetMaxMemoSize(int bytes);  // outside 1..kMaxMemoSizeLimit is ignored

    // Results of the last search, reset when the next one starts.
    bool Found() const { return found_; }
    TfxLocateError Error() const { return error_; }
    bool Optimized() const { return optimized_; }
    TfxOptError OptError() const { return optError_; }

    // Hooks; the engine as argument.
    std::function<void(TfxLocate&)> OnFind;
    std::function<void(TfxLocate&)> OnFail;
    std::function<void(TfxLocate&)> OnProgress;
    // Show the find cursor, and put back whatever was shown before; always paired.
    std::function<void(Qt::CursorShape)> ShowCursor;
    std::function<void()> RestoreCursor;

    // The comparisons, on the current settings. MatchMemo sets Error to erMem when the
    // memo cannot be read.
    bool MatchText(const QString& value) const;
    bool MatchMemo(const TField& field);

signals:
    void busyChanged(bool busy);

private:
    // The search text and rules one search runs with, taken when it starts.
    struct Pattern {
        TfxMatchType type = maAnywhere;
        bool ignoreCase = true;
        QString raw;       // as the caller gave it, for the index seeks
        QString text;      // upper-cased when case is ignored
        QByteArray bytes;  // the same as a memo stores it
        int maxMemoSize = kDefaultMaxMemoSize;
    };

    Pattern MakePattern() const;
    static bool MatchTextWith(const Pattern& pattern, const QString& value);
    class MemoReadAhead;
    bool MatchMemoWith(const Pattern& pattern, const TField& field, MemoReadAhead* ahead = nullptr);

    void Search(bool fromNext);
    void Worker(bool fromNext);
    const TIndexDef* ChooseIndex(const TTable& table, const TField& field);
    void IndexPath(TTable& table, TField& field, const TIndexDef& index, bool fromNext);
    void Seek(TTable& table, TField& field);
    void Scan(TTable& table, TField& field, bool fromNext);
    // Lets the event loop run; false when the table went away or closed meanwhile.
    bool LetEventsRun();
    bool TableUsable() const;

    QPointer<TDataSource> dataSource_;
    QString dataField_;
    QString findText_;
    TfxMatchType matchType_ = maAnywhere;
    bool ignoreCase_ = true;
    bool disableControls_ = true;
    Qt::CursorShape findCursor_ = Qt::WaitCursor;
    TfxFailPos failPos_ = fpOriginal;
    bool doBackground_ = true;
    int backgroundInterval_ = 64;
    int numRecs_ = 0;
    bool useIndexes_ = true;
    int progressCount_ = 0;
    int maxMemoSize_ = kDefaultMaxMemoSize;

    bool found_ = false;
    TfxLocateError error_ = erNone;
    bool optimized_ = false;
    TfxOptError optError_ = erOptNone;

    bool running_ = false;
    QPointer<TTable> table_;  // the table of the running search
    Pattern pattern_;          // the pattern of the running search
};

}  // namespace velm
