#include "import/ide_detection.h"

#include "catalogue/ascii_case.h"
#include "import/ide_name_tokens.h"
#include "import/ide_package_text.h"
#include "import/zip_directory.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <limits>

namespace velm {

namespace {

using namespace ide;

enum class MemberKind { Other, Package, Compiled, Code };

struct KindInfo {
    MemberKind Kind = MemberKind::Other;
    TokenFamily Family = TokenFamily::Delphi;
    PackageText Text = PackageText::None;
    // The years in which IDEs wrote such files: a .bdsproj is 2005's or 2006's, a .dproj
    // from 2007 on.
    int FirstYear = 0;
    int LastYear = 9999;
};

struct Extension {
    const char* Text;
    KindInfo Info;
};

constexpr MemberKind kPackage = MemberKind::Package;
constexpr MemberKind kCompiled = MemberKind::Compiled;
constexpr MemberKind kCode = MemberKind::Code;
constexpr TokenFamily kDelphi = TokenFamily::Delphi;
constexpr TokenFamily kCpp = TokenFamily::Cpp;

const Extension kExtensions[] = {
    {"dpk", {kPackage, kDelphi, PackageText::Dpk, 1997, 9999}},
    {"dproj", {kPackage, kDelphi, PackageText::Dproj, 2007, 9999}},
    {"bdsproj", {kPackage, kDelphi, PackageText::Bdsproj, 2004, 2006}},
    {"groupproj", {kPackage, kDelphi, PackageText::None, 2007, 9999}},
    {"bdsgroup", {kPackage, kDelphi, PackageText::None, 2004, 2006}},
    {"dof", {kPackage, kDelphi, PackageText::Dof, 1995, 2003}},
    {"bpk", {kPackage, kCpp, PackageText::Bpk, 1998, 2005}},
    {"cbproj", {kPackage, kCpp, PackageText::Cbproj, 2007, 9999}},
    {"dpl", {kCompiled, kDelphi, PackageText::None, 1997, 1998}},  // Delphi 3's packages
    {"bpl", {kCompiled, kDelphi, PackageText::None, 1998, 9999}},
    {"dcp", {kCompiled, kDelphi, PackageText::None, 1997, 9999}},
    {"bpi", {kCompiled, kCpp, PackageText::None, 1998, 9999}},
    {"pas", {kCode, kDelphi}},
    {"inc", {kCode, kDelphi}},
    {"dpr", {kCode, kDelphi}},
    {"dfm", {kCode, kDelphi}},
    {"dcu", {kCode, kDelphi}},
    {"cpp", {kCode, kCpp}},
    {"bpr", {kCode, kCpp, PackageText::None, 1998, 2005}},
};

// Called for every member of the archive: the extension is compared in lower-case ASCII.
KindInfo Classify(QStringView extension) {
    char key[12] = {};
    if (extension.size() >= qsizetype(sizeof key))
        return {};
    for (qsizetype i = 0; i < extension.size(); ++i) {
        const char16_t c = extension[i].unicode();
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
            key[i] = char(AsciiLower(c));
        else
            return {};
    }
    for (const Extension& e : kExtensions)
        if (e.Text[0] == key[0] && std::strcmp(key, e.Text) == 0)
            return e.Info;
    return {};
}

const IdeVersion* VersionOf(IdeFamily family, const char* release) {
    if (!release)
        return nullptr;
    for (const IdeVersion& version : IdeVersions())
        if (version.Family == family && std::strcmp(version.Release, release) == 0)
            return &version;
    return nullptr;
}

bool IsSeparator(QChar c) {
    return c == u'\\' || c == u'/';
}

qsizetype LastSeparator(QStringView name) {
    for (qsizetype i = name.size() - 1; i >= 0; --i)
        if (IsSeparator(name[i]))
            return i;
    return -1;
}

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// Ranks of evidence: a package file names its IDE on purpose, a folder of units only
// by its name.
constexpr int kRankFolder = 1;
constexpr int kRankCompiled = 2;
constexpr int kRankPackage = 3;

struct FileFacts {
    TokenFamily Family = kDelphi;
    PackageText Text = PackageText::None;
    int FirstYear = 0;
    int LastYear = 9999;
    int Month = 0;  // the file's date as year * 12 + month; 0 when not known
    const PackageTextFacts* Read = nullptr;
};

// Zip writers put 1980 where they know no date, so dates before Delphi are not used.
int MonthOf(const QDate& date) {
    return date.isValid() && date.year() >= 1995 ? date.year() * 12 + date.month() : 0;
}

bool ProjectVersionFits(const IdeVersion& version, int projectVersion) {
    if (version.ProjectVersionMin == 0)  // 2007 writes none, and Florence's is not known
        return SameRelease(version.Release, "13") && projectVersion >= 200;
    const int margin = version.ProjectVersionUnsure ? 3 : 0;
    return projectVersion >= version.ProjectVersionMin - margin && projectVersion <= version.ProjectVersionMax + margin;
}

bool TextNames(const PackageTextFacts& text, const IdeVersion& version) {
    for (const TextVersion& named : text.Versions)
        if (SameRelease(named.Token.Release, version.Release) || SameRelease(named.Token.InternalRelease, version.Release))
            return true;
    return false;
}

// Whether the version could have written or used the file.
bool Fits(const IdeVersion& version, const FileFacts& facts, bool fromName) {
    if (version.ReleasedYear < facts.FirstYear || version.ReleasedYear > facts.LastYear)
        return false;
    // A year's margin allows for betas.
    if (facts.Month > 0 && version.ReleasedYear * 12 + version.ReleasedMonth > facts.Month + 12)
        return false;
    const PackageTextFacts* text = facts.Read;
    if (!text)
        return true;
    if (text->AutoSuffix && version.ReleasedYear < 2015)
        return false;
    if ((facts.Text == PackageText::Dproj || facts.Text == PackageText::Cbproj) && text->ProjectVersion != 0) {
        const bool fits = text->ProjectVersion < 0 ? SameRelease(version.Release, "2007")
                                                   : ProjectVersionFits(version, text->ProjectVersion);
        if (!fits)
            return false;
    }
    return !fromName || text->Versions.empty() || TextNames(*text, version);
}

class Detector {
public:
    Detector(std::span<const IdeDetectionMember> members, const IdeMemberReader& read)
        : members_(members), read_(read), found_(IdeVersions().size()) {}

    std::vector<DetectedIde> Run() {
        Scan();
        if (internalNames_ > 0 && productNames_ == 0)
            style_ = NamingStyle::Internal;
        else if (productNames_ > 0 && internalNames_ == 0)
            style_ = NamingStyle::Product;
        for (const PackageFile& file : packages_)
            ResolvePackage(file);
        for (const CodeFolder& folder : codeFolders_)
            ResolveCodeFolder(folder);
        std::vector<DetectedIde> result;
        const auto versions = IdeVersions();
        for (std::size_t i = 0; i < versions.size(); ++i)
            if (found_[i].Rank > 0)
                result.push_back({&versions[i], members_[found_[i].Member].Name, found_[i].Clue});
        return result;
    }

private:
    struct PackageFile {
        std::size_t Index;
        KindInfo Info;
        std::vector<NameToken> Own;  // named by the file's own name
        int Folder = -1;             // the nearest folder that names versions
    };
    struct CodeFolder {
        QStringView Path;
        std::size_t Delphi = kNone;  // the first unit or source of each family
        std::size_t Cpp = kNone;
        int Folder = -1;
    };
    struct Found {
        int Rank = 0;
        std::size_t Member = 0;
        QString Clue;
    };

    void Scan() {
        // Growing the table as folders come would hash every folder name again and again.
        codeFolderIndex_.reserve(qsizetype(std::min<std::size_t>(members_.size(), 1 << 20)));
        std::size_t lastCode = kNone;  // members come folder by folder
        std::vector<std::size_t> dpks;  // for the .dof files that belong to a package
        std::vector<std::size_t> dofs;
        for (std::size_t i = 0; i < members_.size(); ++i) {
            const IdeDetectionMember& member = members_[i];
            if (member.IsFolder)
                continue;
            const QStringView name(member.Name);
            const qsizetype sep = LastSeparator(name);
            const QStringView base = name.sliced(sep + 1);
            const qsizetype dot = base.lastIndexOf(u'.');
            if (dot <= 0)
                continue;
            const KindInfo info = Classify(base.sliced(dot + 1));
            if (info.Kind == MemberKind::Other)
                continue;
            const QStringView folder = sep < 0 ? QStringView() : name.first(sep);
            if (info.Kind == MemberKind::Code) {
                if (lastCode == kNone || folder != codeFolders_[lastCode].Path) {
                    const auto found = codeFolderIndex_.constFind(folder);
                    if (found != codeFolderIndex_.cend()) {
                        lastCode = *found;
                    } else {
                        lastCode = codeFolders_.size();
                        codeFolderIndex_.insert(folder, lastCode);
                        codeFolders_.push_back({folder});
                    }
                }
                std::size_t& first = info.Family == kCpp ? codeFolders_[lastCode].Cpp : codeFolders_[lastCode].Delphi;
                if (first == kNone)
                    first = i;
                continue;
            }
            const QStringView stem = base.first(dot);
            if (info.Text == PackageText::Dpk)
                dpks.push_back(i);
            if (info.Text == PackageText::Dof)
                dofs.push_back(packages_.size());
            PackageFile file{i, info, NameTokens(stem, NamePart::PackageFile), -1};
            CountStyle(file.Own);
            if (file.Own.empty())
                file.Folder = FolderTokens(folder);
            packages_.push_back(std::move(file));
        }
        // A .dof beside no package belongs to a program, a demo's, and tells nothing of
        // the package.
        if (!dofs.empty()) {
            QSet<QString> dpkStems;
            for (std::size_t i : dpks)
                dpkStems.insert(Stem(members_[i].Name).toString().toLower());
            for (auto it = dofs.rbegin(); it != dofs.rend(); ++it)
                if (!dpkStems.contains(Stem(members_[packages_[*it].Index].Name).toString().toLower()))
                    packages_.erase(packages_.begin() + std::ptrdiff_t(*it));
        }
        for (CodeFolder& folder : codeFolders_)
            folder.Folder = FolderTokens(folder.Path);
    }

    void CountStyle(const std::vector<NameToken>& tokens) {
        for (const NameToken& token : tokens) {
            internalNames_ += token.Style == NamingStyle::Internal;
            productNames_ += token.Style == NamingStyle::Product;
        }
    }

    // The name without its extension.
    static QStringView Stem(QStringView name) {
        const qsizetype dot = name.lastIndexOf(u'.');
        return dot > LastSeparator(name) ? name.first(dot) : name;
    }

    // The tokens of the nearest folder, from the given one outwards, whose name names a
    // version: an index into lists_, or -1. Members come folder by folder, so the folder
    // before mostly shares all but its last names with this one: its levels are kept, and
    // only the names that differ are read. No hashing, no recursion however deep.
    int FolderTokens(QStringView folder) {
        qsizetype common = 0;
        const qsizetype limit = std::min(folder.size(), path_.size());
        while (common < limit && folder[common] == path_[common])
            ++common;
        while (!levels_.empty()) {
            const qsizetype end = levels_.back().End;
            if (end <= common && (end == folder.size() || IsSeparator(folder[end])))
                break;
            levels_.pop_back();
        }
        int known = levels_.empty() ? -1 : levels_.back().Tokens;
        for (qsizetype start = levels_.empty() ? 0 : levels_.back().End + 1; start < folder.size();) {
            qsizetype end = start;
            while (end < folder.size() && !IsSeparator(folder[end]))
                ++end;
            std::vector<NameToken> own = NameTokens(folder.sliced(start, end - start), NamePart::Folder);
            if (!own.empty()) {
                CountStyle(own);
                lists_.push_back(std::move(own));
                known = int(lists_.size()) - 1;
            }
            levels_.push_back({end, known});
            start = end + 1;
        }
        path_ = folder;
        return known;
    }

    const std::vector<NameToken>& Tokens(int list) const {
        static const std::vector<NameToken> kEmpty;
        return list < 0 ? kEmpty : lists_[std::size_t(list)];
    }

    // The version a token names in a file, or none when the file rules out every reading
    // or two readings remain and the archive's naming does not choose.
    const IdeVersion* Resolve(const NameToken& token, const FileFacts& facts, bool fromName) const {
        if (token.CppFilesOnly && facts.Family != kCpp)
            return nullptr;
        const TokenFamily family = token.Family != TokenFamily::Neutral ? token.Family : facts.Family;
        const IdeFamily ide = family == kCpp ? IdeFamily::CppBuilder : IdeFamily::Delphi;
        const IdeVersion* named = VersionOf(ide, token.Release);
        const IdeVersion* internal = VersionOf(ide, token.InternalRelease);
        if (named && !Fits(*named, facts, fromName))
            named = nullptr;
        if (internal && !Fits(*internal, facts, fromName))
            internal = nullptr;
        if (!named || !internal)
            return named ? named : internal;
        if (style_ == NamingStyle::Internal)
            return internal;
        if (style_ == NamingStyle::Product || token.ProductName)
            return named;
        return nullptr;
    }

    void ResolvePackage(const PackageFile& file) {
        const std::vector<NameToken>& tokens = file.Own.empty() ? Tokens(file.Folder) : file.Own;
        FileFacts facts{file.Info.Family, file.Info.Text, file.Info.FirstYear, file.Info.LastYear,
                        MonthOf(members_[file.Index].Modified), nullptr};
        bool twoReadings = false;
        for (const NameToken& token : tokens)
            twoReadings = twoReadings || token.InternalRelease;
        PackageTextFacts text;
        if (file.Info.Text != PackageText::None && read_ && textsRead_ < kIdeMaxTextsRead &&
            (tokens.empty() || twoReadings)) {
            ++textsRead_;
            const QByteArray bytes = read_(file.Index, kIdeTextReadLimit);
            if (!bytes.isEmpty()) {
                text = ReadPackageText(bytes, file.Info.Text);
                facts.Read = &text;
            }
        }
        const int rank = file.Info.Kind == MemberKind::Package ? kRankPackage : kRankCompiled;
        if (!tokens.empty()) {
            for (const NameToken& token : tokens)
                Record(Resolve(token, facts, true), rank, file.Index, {});
            return;
        }
        for (const TextVersion& named : text.Versions)
            Record(Resolve(named.Token, facts, false), rank, file.Index, named.Clue);
        if (text.Versions.empty() && text.ProjectVersion > 0)
            RecordProjectVersion(facts, text.ProjectVersion, file.Index);
    }

    // A <ProjectVersion> alone names a version only where one release, and no other, is
    // known to write it.
    void RecordProjectVersion(const FileFacts& facts, int projectVersion, std::size_t index) {
        const IdeFamily ide = facts.Family == kCpp ? IdeFamily::CppBuilder : IdeFamily::Delphi;
        const IdeVersion* only = nullptr;
        int count = 0;
        for (const IdeVersion& version : IdeVersions()) {
            if (version.Family != ide || version.ProjectVersionMin == 0)
                continue;
            if (projectVersion >= version.ProjectVersionMin && projectVersion <= version.ProjectVersionMax) {
                ++count;
                only = version.ProjectVersionUnsure ? nullptr : &version;
            }
        }
        if (count == 1 && only && Fits(*only, facts, false))
            Record(only, kRankPackage, index,
                   QStringLiteral("ProjectVersion %1.%2").arg(projectVersion / 10).arg(projectVersion % 10));
    }

    void ResolveCodeFolder(const CodeFolder& folder) {
        const std::vector<NameToken>& tokens = Tokens(folder.Folder);
        if (tokens.empty())
            return;
        for (const auto& [family, index] : {std::pair{kDelphi, folder.Delphi}, std::pair{kCpp, folder.Cpp}}) {
            if (index == kNone)
                continue;
            const FileFacts facts{family, PackageText::None, 0, 9999, MonthOf(members_[index].Modified), nullptr};
            for (const NameToken& token : tokens)
                if (!token.Weak)
                    Record(Resolve(token, facts, true), kRankFolder, index, {});
        }
    }

    void Record(const IdeVersion* version, int rank, std::size_t member, const QString& clue) {
        if (!version)
            return;
        Found& found = found_[std::size_t(version - IdeVersions().data())];
        if (rank > found.Rank || (rank == found.Rank && member < found.Member))
            found = {rank, member, clue};
    }

    std::span<const IdeDetectionMember> members_;
    const IdeMemberReader& read_;
    std::vector<PackageFile> packages_;
    std::vector<CodeFolder> codeFolders_;
    QHash<QStringView, std::size_t> codeFolderIndex_;
    struct Level {
        qsizetype End;  // where the folder name ends in path_
        int Tokens;     // the nearest tokens up to it
    };
    QStringView path_;
    std::vector<Level> levels_;
    std::vector<std::vector<NameToken>> lists_;
    int internalNames_ = 0;
    int productNames_ = 0;
    NamingStyle style_ = NamingStyle::None;
    int textsRead_ = 0;
    std::vector<Found> found_;
};

}  // namespace

QString DetectedIde::Evidence() const {
    return Clue.isEmpty() ? Member : Member + QStringLiteral(" (") + Clue + u')';
}

std::vector<DetectedIde> DetectIdeVersions(std::span<const IdeDetectionMember> members, const IdeMemberReader& read) {
    return Detector(members, read).Run();
}

std::vector<IdeDetectionMember> IdeDetectionMembers(const std::vector<ZipDirEntry>& entries) {
    std::vector<IdeDetectionMember> members;
    members.reserve(entries.size());
    for (const ZipDirEntry& entry : entries) {
        const quint32 date = entry.DateTime >> 16;
        members.push_back({entry.FileName, entry.IsFolder(), entry.UncomprSize64,
                           QDate(int(1980 + (date >> 9)), int((date >> 5) & 0x0F), int(date & 0x1F))});
    }
    return members;
}

}  // namespace velm
