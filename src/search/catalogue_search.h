#pragma once

#include <QString>

#include <vector>

namespace velm {

class TArchiveIndex;

// One place a search text was found: a field of a package, or a member of its archive.
struct TSearchHit {
    qint64 PackageId = 0;
    QString ProductName;
    QString CategoryName;
    // The field's name ("ProductDescription") for a field hit; empty for a member hit.
    QString Field;
    // The member's name with its folders, for a member hit; empty for a field hit.
    QString Member;
    // The matching text: the member's name, or the part of the field's shown text
    // around the match, on one line.
    QString Excerpt;
    // Where the match stands in Excerpt.
    int MatchStart = 0;
    int MatchLength = 0;

    bool IsMember() const { return !Member.isEmpty(); }
};

// Finds a text, ignoring letter case, in the packages' texts (name, the description
// as it is shown, author, e-mail, address, comments, archive file name) and in the
// names of their archives' members, through the full-text index of the member index
// file. A text of three characters or more is looked up in the trigram index; a shorter
// one is a scan, which stops once it has the hits asked for.
class TCatalogueSearch {
public:
    explicit TCatalogueSearch(TArchiveIndex& index) : index_(index) {}

    // The packages' field hits first (in package order, a package's fields in the
    // order above), then the member hits; at most limit hits in all. Leading and
    // trailing blanks of the text count for nothing; an empty text finds nothing.
    std::vector<TSearchHit> Find(const QString& text, int limit) const;

    // Limits the hits to packages that work with the IDE version of this code ("D7");
    // empty for any version.
    QString WorksWith;

    // The fields searched, in the order their hits come.
    static const std::vector<QString>& SearchedFields();

private:
    void FindInPackages(const QString& text, int limit, std::vector<TSearchHit>& hits) const;
    void FindInMembers(const QString& text, int limit, std::vector<TSearchHit>& hits) const;

    TArchiveIndex& index_;
};

// The part of a text around the first place it holds what (ignoring letter case), on
// one line and at most about width characters; matchStart/matchLength tell where the
// match stands in it. Empty when the text does not hold it.
QString ExcerptAround(const QString& text, const QString& what, int width, int& matchStart, int& matchLength);

}  // namespace velm
