#include "search/fx_locate.h"

#include "catalogue/ascii_case.h"
#include "catalogue/memo_markup.h"

#include <QCoreApplication>
#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <exception>

namespace velm {

namespace {

// Letter case is folded for a to z only: the catalogue's keys compare that way, and an
// accented letter must not match its capital.

// Whether value holds text (already folded when fold is set) at position at.
bool TextAt(const QString& value, qsizetype at, const QString& text, bool fold) {
    const QChar* v = value.constData() + at;
    const QChar* t = text.constData();
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t c = fold ? AsciiUpper(v[i].unicode()) : v[i].unicode();
        if (c != t[i].unicode())
            return false;
    }
    return true;
}

bool BytesAt(const char* value, const QByteArray& text, bool fold) {
    const char* t = text.constData();
    for (qsizetype i = 0, n = text.size(); i < n; ++i)
        if ((fold ? AsciiUpper(value[i]) : value[i]) != t[i])
            return false;
    return true;
}

// How common a byte is in descriptions and comments; a search anchors on the pattern's
// rarest byte, so it checks few places.
int Commonness(char c) {
    static constexpr char kLettersRarestFirst[] = "ZQJXKVBPYGFWMUCLDRHSNIOATE";
    c = AsciiUpper(c);
    if (c == ' ')
        return 40;
    if (c >= 'A' && c <= 'Z')
        return 10 + static_cast<int>(std::strchr(kLettersRarestFirst, c) - kLettersRarestFirst);
    if (c == '\r' || c == '\n' || c == '.' || c == ',')
        return 30;
    if (c >= '0' && c <= '9')
        return 8;
    return 5;
}

// Whether data holds text (upper-cased) in any letter case. Folding a whole memo first
// costs more than the search: look for the anchor byte in both cases with memchr and
// compare the rest only there.
bool ContainsFolded(const char* data, qsizetype length, const QByteArray& text) {
    const qsizetype m = text.size();
    if (m == 0)
        return true;
    if (m > length)
        return false;
    const char* t = text.constData();
    qsizetype k = 0;
    for (qsizetype i = 1; i < m; ++i)
        if (Commonness(t[i]) < Commonness(t[k]))
            k = i;
    const char upper = t[k];
    const bool letter = upper >= 'A' && upper <= 'Z';
    const char lower = letter ? AsciiLower(upper) : upper;
    const char* from = data + k;
    const char* end = data + (length - m) + k + 1;  // the last place the anchor can be, plus one
    const auto next = [end](const char* at, char c) {
        return at < end ? static_cast<const char*>(std::memchr(at, c, static_cast<size_t>(end - at))) : nullptr;
    };
    const char* u = next(from, upper);
    const char* l = letter ? next(from, lower) : nullptr;
    while (u || l) {
        const char* anchor;
        if (u && (!l || u < l)) {
            anchor = u;
            u = next(u + 1, upper);
        } else {
            anchor = l;
            l = next(l + 1, lower);
        }
        if (BytesAt(anchor - k, text, true))
            return true;
    }
    return false;
}

// Ordinal comparison of the search text (already folded) with a field value.
int CompareFolded(const QString& text, const QString& value, bool fold) {
    const qsizetype n = std::min(text.size(), value.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t a = text.at(i).unicode();
        const char16_t b = fold ? AsciiUpper(value.at(i).unicode()) : value.at(i).unicode();
        if (a != b)
            return a < b ? -1 : 1;
    }
    return text.size() == value.size() ? 0 : (text.size() < value.size() ? -1 : 1);
}

bool EqualAsciiNoCase(const QString& a, const QString& b) {
    return a.size() == b.size() && CompareFolded(AsciiUpperCase(a), b, true) == 0;
}

// Lookup fields show the looked-up text, so they are searched like text fields.
bool IsTextField(const TField& field) {
    return field.Kind() == TFieldKind::String || field.Kind() == TFieldKind::Lookup;
}

}  // namespace

// The memo bytes of the rows a scan walks, read a batch of rows at a time: one query per
// row would cost the scan most of its time.
class TfxLocate::MemoReadAhead {
public:
    // The current row's stored bytes; false when they have to be read on their own (the
    // row is being edited, say).
    bool Take(TTable& table, const TField& field, QByteArray& bytes) {
        if (table.State() != TDataSetState::Browse)
            return false;
        const TBookmark row = table.GetBookmark();
        // A row changed meanwhile, or the cursor went elsewhere: read afresh from here.
        if (version_ != table.RowsVersion() || next_ >= rows_.size() || rows_[next_].row != row) {
            rows_ = table.ReadMemosAhead(field.Index(), kRows, kBytes);
            next_ = 0;
            version_ = table.RowsVersion();
            if (rows_.empty() || rows_.front().row != row)
                return false;
        }
        bytes = std::move(rows_[next_++].bytes);
        return true;
    }

private:
    static constexpr int kRows = 64;
    static constexpr qsizetype kBytes = 4 * 1024 * 1024;
    std::vector<TMemoBytes> rows_;
    size_t next_ = 0;
    quint64 version_ = 0;
};

TfxLocate::TfxLocate(QObject* parent) : QObject(parent) {}

TfxLocate::~TfxLocate() = default;

void TfxLocate::SetBackgroundInterval(int records) { backgroundInterval_ = std::max(1, records); }

void TfxLocate::SetProgressCount(int count) {
    if (count >= 0)
        progressCount_ = count;
}

void TfxLocate::SetMaxMemoSize(int bytes) {
    if (bytes >= 1 && bytes <= kMaxMemoSizeLimit)
        maxMemoSize_ = bytes;
}

void TfxLocate::FindFirst() { Search(false); }

void TfxLocate::FindNext() { Search(true); }

void TfxLocate::Search(bool fromNext) {
    // An event handled during a scan may ask for another search: it would reset the
    // results and move the cursor under the running one, so it is refused.
    if (running_)
        return;
    running_ = true;
    emit busyChanged(true);
    try {
        Worker(fromNext);
    } catch (...) {
        running_ = false;
        table_.clear();
        emit busyChanged(false);
        throw;
    }
    running_ = false;
    table_.clear();
    emit busyChanged(false);
    if (found_) {
        if (OnFind)
            OnFind(*this);
    } else if (OnFail) {
        OnFail(*this);
    }
}

void TfxLocate::Worker(bool fromNext) {
    found_ = false;
    error_ = erNone;
    optimized_ = false;
    optError_ = erOptNone;

    TTable* table = dataSource_ ? dataSource_->DataSet() : nullptr;
    if (!table || !table->Active()) {
        error_ = erDataset;
        return;
    }
    // Every data set of the table layer is a table, so erNotTable never arises here.
    optimized_ = useIndexes_;
    TField* field = table->FindField(dataField_);
    if (!field) {
        error_ = erField;
        return;
    }
    if (optimized_ && field->Kind() == TFieldKind::Memo) {
        optimized_ = false;
        optError_ = erNoInd;
    }
    if (optimized_ && matchType_ == maAnywhere) {
        optimized_ = false;
        optError_ = erMatchType;
    }
    if (findText_.isEmpty() && matchType_ != maFull) {
        found_ = true;
        return;
    }

    pattern_ = MakePattern();
    table_ = table;
    const bool keepBookmark = failPos_ == fpOriginal;
    const TBookmark bookmark = keepBookmark ? table->GetBookmark() : 0;
    bool detached = false;
    bool cursorShown = false;

    // Runs every step even when one fails; the first failure is handed back.
    const auto finish = [&]() -> std::exception_ptr {
        std::exception_ptr first;
        const auto step = [&first](const auto& action) {
            try {
                action();
            } catch (...) {
                if (!first)
                    first = std::current_exception();
            }
        };
        if (keepBookmark) {
            step([&] {
                // The row may have gone while events ran; then the cursor stays put.
                if (!found_ && TableUsable() && table_->BookmarkValid(bookmark))
                    table_->GotoBookmark(bookmark);
            });
        }
        if (detached && table_)
            step([&] { table_->EnableControls(); });
        if (cursorShown && RestoreCursor)
            step([&] { RestoreCursor(); });
        return first;
    };

    try {
        if (disableControls_) {
            table->DisableControls();
            detached = true;
        }
        if (ShowCursor) {
            ShowCursor(findCursor_);
            cursorShown = true;
        }
        const TIndexDef* index = optimized_ ? ChooseIndex(*table, *field) : nullptr;
        if (index)
            IndexPath(*table, *field, *index, fromNext);
        else
            Scan(*table, *field, fromNext);
    } catch (...) {
        finish();  // the search's own error is the one the caller hears of
        throw;
    }
    if (const std::exception_ptr error = finish())
        std::rethrow_exception(error);
}

const TIndexDef* TfxLocate::ChooseIndex(const TTable& table, const TField& field) {
    const TIndexDef* chosen = nullptr;
    for (const TIndexDef& def : table.IndexDefs()) {
        const QString first = def.fields.isEmpty() ? QString() : def.fields.front().section(QLatin1Char(';'), 0, 0);
        if (EqualAsciiNoCase(first, field.FieldName())) {
            chosen = &def;
            break;
        }
    }
    if (!chosen) {
        optimized_ = false;
        optError_ = erNoInd;
        return nullptr;
    }
    if (chosen->caseInsensitive != pattern_.ignoreCase) {
        optimized_ = false;
        optError_ = erCaseSens;
        return nullptr;
    }
    return chosen;
}

void TfxLocate::IndexPath(TTable& table, TField& field, const TIndexDef& index, bool fromNext) {
    if (progressCount_ > 0 && OnProgress) {
        OnProgress(*this);
        if (!LetEventsRun()) {
            error_ = erDataset;
            return;
        }
    }
    const QString saved = table.IndexName();
    table.SetIndexName(index.name);
    try {
        if (!fromNext) {
            table.First();
            Seek(table, field);
        } else if (!table.Eof()) {
            table.Next();
            if (!table.Eof()) {
                const int c = CompareFolded(pattern_.text, field.AsString(), pattern_.ignoreCase);
                // The wanted key still lies ahead in index order: one seek reaches it.
                if (index.descending ? c < 0 : c > 0)
                    Seek(table, field);
                else
                    found_ = MatchTextWith(pattern_, field.AsString());
            }
        }
    } catch (...) {
        try {
            if (TableUsable())
                table_->SetIndexName(saved);
        } catch (...) {
        }
        throw;
    }
    if (TableUsable())
        table.SetIndexName(saved);
}

void TfxLocate::Seek(TTable& table, TField& field) {
    if (pattern_.type == maFull) {
        found_ = table.FindKey(pattern_.raw);
    } else {
        table.FindNearest(pattern_.raw);
        found_ = !table.IsEmpty() && MatchTextWith(pattern_, field.AsString());
    }
}

void TfxLocate::Scan(TTable& table, TField& field, bool fromNext) {
    if (!fromNext)
        table.First();
    else if (!table.Eof())
        table.Next();
    const bool memo = !IsTextField(field);
    MemoReadAhead ahead;
    // The counter runs one ahead of the records examined; NumRecs limits the latter.
    int counter = 1;
    while (!found_ && !table.Eof() && error_ == erNone && (numRecs_ == 0 || counter <= numRecs_)) {
        ++counter;
        const int examined = counter - 1;
        if (doBackground_ && (examined - 1) % backgroundInterval_ == 0 && !LetEventsRun()) {
            error_ = erDataset;
            break;
        }
        if (progressCount_ > 0 && OnProgress && counter % progressCount_ == 0) {
            OnProgress(*this);
            if (!LetEventsRun()) {
                error_ = erDataset;
                break;
            }
        }
        found_ = memo ? MatchMemoWith(pattern_, field, &ahead) : MatchTextWith(pattern_, field.AsString());
        if (!found_ && !table.Eof() && error_ == erNone)
            table.Next();
    }
}

bool TfxLocate::LetEventsRun() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    return TableUsable();
}

bool TfxLocate::TableUsable() const { return table_ && table_->Active(); }

TfxLocate::Pattern TfxLocate::MakePattern() const {
    Pattern pattern;
    pattern.type = matchType_;
    pattern.ignoreCase = ignoreCase_;
    pattern.raw = findText_;
    pattern.text = ignoreCase_ ? AsciiUpperCase(findText_) : findText_;
    // Folding before or after encoding is the same: UTF-8 keeps a to z as single bytes.
    pattern.bytes = pattern.text.toUtf8();
    pattern.maxMemoSize = maxMemoSize_;
    return pattern;
}

bool TfxLocate::MatchText(const QString& value) const { return MatchTextWith(MakePattern(), value); }

bool TfxLocate::MatchMemo(const TField& field) { return MatchMemoWith(MakePattern(), field); }

bool TfxLocate::MatchTextWith(const Pattern& pattern, const QString& value) {
    const QString& text = pattern.text;
    const qsizetype n = value.size();
    const qsizetype m = text.size();
    switch (pattern.type) {
    case maFull: return n == m && TextAt(value, 0, text, pattern.ignoreCase);
    case maBeginning: return n >= m && TextAt(value, 0, text, pattern.ignoreCase);
    case maAnywhere:
        for (qsizetype at = 0; at + m <= n; ++at)
            if (TextAt(value, at, text, pattern.ignoreCase))
                return true;
        return false;
    }
    return false;
}

bool TfxLocate::MatchMemoWith(const Pattern& pattern, const TField& field, MemoReadAhead* ahead) {
    try {
        if (field.Kind() != TFieldKind::Memo)
            throw EfxLocateException("cannot create stream");
        QByteArray stored;
        if (!ahead || !ahead->Take(*field.Table(), field, stored))
            stored = field.MemoBytes();
        // A formatted memo is searched by the text it shows, never by its markup.
        if (IsMemoMarkup(stored))
            stored = MemoShownUtf8(stored);
        const qsizetype n = std::min<qsizetype>(stored.size(), pattern.maxMemoSize);
        const char* data = stored.constData();
        const void* zero = n > 0 ? std::memchr(data, 0, static_cast<size_t>(n)) : nullptr;
        const qsizetype length = zero ? static_cast<const char*>(zero) - data : n;
        const QByteArray& text = pattern.bytes;  // compared whole, however long
        const qsizetype m = text.size();
        switch (pattern.type) {
        case maFull:
            // A memo cut at MaxMemoSize is longer than anything its head can equal.
            return stored.size() <= n && n == m && length >= m && BytesAt(data, text, pattern.ignoreCase);
        case maBeginning: return length >= m && BytesAt(data, text, pattern.ignoreCase);
        case maAnywhere: {
            if (m > length)
                return false;
            if (!pattern.ignoreCase)
                return QByteArrayView(data, length).indexOf(QByteArrayView(text)) >= 0;
            return ContainsFolded(data, length, text);
        }
        }
        return false;
    } catch (...) {
        error_ = erMem;
        return false;
    }
}

}  // namespace velm
