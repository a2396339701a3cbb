#pragma once

#include <QString>

// The stored names of the catalogue fields that code in several layers names, so a
// misspelt name is a compile error rather than a failed lookup at run time.
namespace velm::fields {

inline const QString ID = QStringLiteral("ID");
// Category table
inline const QString Name = QStringLiteral("Name");
// Package table
inline const QString ProductName = QStringLiteral("ProductName");
inline const QString ProductDescription = QStringLiteral("ProductDescription");
inline const QString Category = QStringLiteral("Category");
inline const QString Status = QStringLiteral("Status");
inline const QString Rating = QStringLiteral("Rating");
inline const QString Compatibility = QStringLiteral("Compatibility");
inline const QString ArchiveFile = QStringLiteral("ArchiveFile");
inline const QString ArchiveFilePath = QStringLiteral("ArchiveFilePath");
inline const QString ReleaseDate = QStringLiteral("ReleaseDate");
inline const QString DownloadDate = QStringLiteral("DownloadDate");
// Status table
inline const QString Description = QStringLiteral("Description");

}  // namespace velm::fields
