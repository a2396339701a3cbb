#include "search/catalogue_search.h"

#include "catalogue/archive_index.h"
#include "catalogue/database.h"
#include "catalogue/memo_markup.h"
#include "catalogue/works_with.h"

namespace velm {

namespace {

// The trigram index answers texts of three characters or more.
constexpr int kShortestIndexedText = 3;
constexpr int kExcerptWidth = 80;

// The text as one FTS5 phrase: whatever it holds is matched as it stands.
QString Phrase(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The text as a GLOB pattern that matches it as it stands.
QString GlobLiteral(const QString& text) {
    QString pattern;
    for (const QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'[')
            pattern += u'[' + QString(c) + u']';
        else
            pattern += c;
    }
    return pattern;
}

// The condition a package must meet besides holding the text; the version is bound as ?3.
QString VersionCondition(const TArchiveIndex& index, const QString& worksWith, const QString& packageId) {
    return worksWith.isEmpty() ? QString()
                               : QStringLiteral(" AND ") + WorksWithCondition(index.Schema(), packageId, QStringLiteral("?3"));
}

QString OneLine(QString text) {
    for (QChar& c : text)
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    return text;
}

}  // namespace

const std::vector<QString>& TCatalogueSearch::SearchedFields() {
    static const std::vector<QString> fields{
        QStringLiteral("ProductName"), QStringLiteral("ProductDescription"), QStringLiteral("Author"),
        QStringLiteral("AuthorEmail"), QStringLiteral("FileURL"),            QStringLiteral("Comments"),
        QStringLiteral("ArchiveFile")};
    return fields;
}

QString ExcerptAround(const QString& text, const QString& what, int width, int& matchStart, int& matchLength) {
    const qsizetype at = text.indexOf(what, 0, Qt::CaseInsensitive);
    if (at < 0 || what.isEmpty())
        return QString();
    // A third of the room before the match, the rest after it; a cut is marked.
    qsizetype from = std::max<qsizetype>(0, at - width / 3);
    if (from > 0 && text.at(from).isLowSurrogate())
        --from;
    qsizetype to = std::min<qsizetype>(text.size(), std::max<qsizetype>(at + what.size(), from + width));
    if (to < text.size() && to > 0 && text.at(to - 1).isHighSurrogate())
        ++to;
    QString excerpt = OneLine(text.mid(from, to - from));
    matchStart = int(at - from);
    if (from > 0) {
        excerpt.prepend(QStringLiteral("…"));
        ++matchStart;
    }
    if (to < text.size())
        excerpt.append(QStringLiteral("…"));
    matchLength = int(what.size());
    return excerpt;
}

std::vector<TSearchHit> TCatalogueSearch::Find(const QString& text, int limit) const {
    std::vector<TSearchHit> hits;
    const QString wanted = text.trimmed();
    if (wanted.isEmpty() || limit <= 0)
        return hits;
    index_.ApplyPendingTexts();
    FindInPackages(wanted, limit, hits);
    if (int(hits.size()) < limit)
        FindInMembers(wanted, limit - int(hits.size()), hits);
    return hits;
}

void TCatalogueSearch::FindInPackages(const QString& text, int limit, std::vector<TSearchHit>& hits) const {
    TDatabase& database = index_.Database();
    const QString index = QuoteIdentifier(index_.Schema());
    const QString packages = QuoteIdentifier(index_.PackageSchema()) + QStringLiteral(".CPInfo");
    const QString categories = QuoteIdentifier(index_.CategorySchema()) + QStringLiteral(".Category");
    const std::vector<QString>& fields = SearchedFields();
    QString columns;
    for (const QString& field : fields)
        columns += QStringLiteral(", p.") + field;
    // The index holds each package's texts folded: a pattern of three characters or
    // more is looked up in its trigrams, a shorter one found by a scan of them. The
    // fields that hold the text are then told from the package's own texts.
    const bool indexed = text.size() >= kShortestIndexedText;
    const QString folded = FoldedForSearch(text);
    TStatement& select = database.Prepare(
        QStringLiteral("SELECT p.ID, c.Name%1 FROM %2.PackageText t JOIN %3 p ON p.ID = t.rowid "
                       "LEFT JOIN %4 c ON c.ID = p.Category WHERE %5%6 LIMIT ?2")
            .arg(columns, index, packages, categories,
                 indexed ? QStringLiteral("t.Text GLOB ?1") : QStringLiteral("instr(t.Text, ?1)"),
                 VersionCondition(index_, WorksWith, QStringLiteral("p.ID"))));
    select.Bind(1, indexed ? QStringLiteral("*%1*").arg(GlobLiteral(folded)) : folded);
    select.Bind(2, limit);
    if (!WorksWith.isEmpty())
        select.Bind(3, WorksWith);
    const TResetOnExit reset(select);
    while (int(hits.size()) < limit && select.Step()) {
        const qint64 id = select.ColumnInt(0);
        const QString category = select.ColumnText(1);
        const QString name = select.ColumnText(2);
        for (size_t f = 0; f < fields.size() && int(hits.size()) < limit; ++f) {
            const bool memo = fields[f] == QLatin1String("ProductDescription") || fields[f] == QLatin1String("Comments");
            const QString stored = select.ColumnText(int(f) + 2);
            TSearchHit hit;
            hit.Excerpt = ExcerptAround(memo ? MemoShownText(stored) : stored, text, kExcerptWidth, hit.MatchStart,
                                        hit.MatchLength);
            if (hit.Excerpt.isEmpty())
                continue;
            hit.PackageId = id;
            hit.ProductName = name;
            hit.CategoryName = category;
            hit.Field = fields[f];
            hits.push_back(std::move(hit));
        }
    }
}

void TCatalogueSearch::FindInMembers(const QString& text, int limit, std::vector<TSearchHit>& hits) const {
    TDatabase& database = index_.Database();
    const QString index = QuoteIdentifier(index_.Schema());
    const QString packages = QuoteIdentifier(index_.PackageSchema()) + QStringLiteral(".CPInfo");
    const QString categories = QuoteIdentifier(index_.CategorySchema()) + QStringLiteral(".Category");
    const bool indexed = text.size() >= kShortestIndexedText;
    const QString members = indexed ? QStringLiteral("%1.MemberText t JOIN %1.ArchiveMember m ON m.ID = t.rowid").arg(index)
                                    : QStringLiteral("%1.ArchiveMember m").arg(index);
    const QString where =
        indexed ? QStringLiteral("t.MemberText MATCH ?1") : QStringLiteral("instr(velm_fold(m.Name), ?1)");
    TStatement& select = database.Prepare(
        QStringLiteral("SELECT m.PackageID, m.Name, p.ProductName, c.Name FROM %1 JOIN %2 p ON p.ID = m.PackageID "
                       "LEFT JOIN %3 c ON c.ID = p.Category WHERE %4%5 LIMIT ?2")
            .arg(members, packages, categories, where, VersionCondition(index_, WorksWith, QStringLiteral("m.PackageID"))));
    select.Bind(1, indexed ? Phrase(text) : FoldedForSearch(text));
    select.Bind(2, limit);
    if (!WorksWith.isEmpty())
        select.Bind(3, WorksWith);
    const TResetOnExit reset(select);
    while (select.Step()) {
        TSearchHit hit;
        hit.PackageId = select.ColumnInt(0);
        hit.Member = select.ColumnText(1);
        hit.ProductName = select.ColumnText(2);
        hit.CategoryName = select.ColumnText(3);
        hit.Excerpt = ExcerptAround(hit.Member, text, kExcerptWidth, hit.MatchStart, hit.MatchLength);
        if (hit.Excerpt.isEmpty())  // the index matched what a case fold of its own made of it
            hit.Excerpt = OneLine(hit.Member);
        hits.push_back(std::move(hit));
    }
}

}  // namespace velm
