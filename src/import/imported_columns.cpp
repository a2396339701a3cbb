#include "import/imported_columns.h"

#include "catalogue/table.h"

namespace velm {

namespace {

constexpr int kCompatibilityFlags = 6;
constexpr int kFreeware = 0;
constexpr int kShareware = 1;
constexpr int kCommercial = 2;
constexpr int kSmallIntMin = -32768;
constexpr int kSmallIntMax = 32767;
const QChar kCR = QLatin1Char('\r');

}  // namespace

QString ImportedDescription(const TDSPInfoClass& info) {
    QString text;
    for (const QString& line : info.DescriptionLines)
        text += line + QStringLiteral("\r\n");
    text += kCR + QStringLiteral("Note:") + kCR + info.NoteText + kCR + QStringLiteral("Add.info:") + kCR +
            info.AdditionalInfoText;
    return text;
}

TVersionNumbers StorableVersion(const QString& versionText, QStringList* refused) {
    TVersionNumbers version = ParseVersion(versionText);
    int* const numbers[] = {&version.Major, &version.Minor, &version.Release, &version.Build};
    const char* const fields[] = {"VersionMajor", "VersionMinor", "Release", "Build"};
    // The parts as written, split the way the numbers were, to name what is refused.
    const QStringList parts = versionText.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        if (*numbers[i] >= kSmallIntMin && *numbers[i] <= kSmallIntMax)
            continue;
        *numbers[i] = 0;
        if (refused)
            *refused << QStringLiteral("%1 cannot hold %2").arg(QString::fromLatin1(fields[i]), parts.value(i).trimmed());
    }
    return version;
}

int CompatibilityMask(const QString& flags) {
    int mask = 0;
    for (int i = 0; i < kCompatibilityFlags && i < flags.size(); ++i)
        if (flags.at(i) == QLatin1Char('1'))
            mask |= 1 << i;
    return mask;
}

int WriteInfoColumns(TTable& packages, const TDSPInfoClass& info, QStringList* refused) {
    const auto text = [&packages](const char* field, const QString& value) {
        packages.FieldByName(QString::fromLatin1(field))->SetAsString(value);
    };
    const auto number = [&packages](const char* field, int value) {
        packages.FieldByName(QString::fromLatin1(field))->SetAsInteger(value);
    };
    const TVersionNumbers version = StorableVersion(info.VersionText, refused);
    const int mask = CompatibilityMask(info.CompatFlags);
    text("ProductDescription", ImportedDescription(info));
    number("FreeShareCommercial", info.IsFreeware ? kFreeware : info.IsCommercial ? kCommercial : kShareware);
    packages.FieldByName(QStringLiteral("FullSourceIncl"))->SetAsBoolean(info.HasFullSource);
    number("VersionMajor", version.Major);
    number("VersionMinor", version.Minor);
    number("Release", version.Release);
    number("Build", version.Build);
    number("Compatibility", mask);
    text("Author", info.AuthorName);
    text("AuthorEmail", info.AuthorMail);
    text("FileURL", info.AuthorWeb);
    return mask;
}

}  // namespace velm
