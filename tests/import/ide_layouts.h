#pragma once

// The archive layouts of tests/data/ide_layouts.txt (the file describes its format), for
// the detection's test and its benchmark.

#include "import/ide_detection.h"

#include <QFile>
#include <QStringList>

#include <vector>

namespace velm::test {

struct IdeLayout {
    QString Title;
    QStringList Truth;
    bool Shown = true;  // false: the layout's members cannot show all of its truth
    std::vector<IdeDetectionMember> Members;
    std::vector<QByteArray> Texts;  // each member's text, empty where the layout gives none

    IdeMemberReader Reader() const {
        return [this](std::size_t index, qint64 maxBytes) { return Texts.at(index).left(maxBytes); };
    }
};

inline std::vector<IdeLayout> ReadIdeLayouts(const QString& path) {
    std::vector<IdeLayout> layouts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return layouts;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(u'\n') || line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u"== ")) {
            IdeLayout layout;
            layout.Title = line.mid(3);
            layout.Shown = !line.contains(u"(not shown by its members)");
            layouts.push_back(layout);
        } else if (layouts.empty() || line.trimmed().isEmpty() || line.startsWith(u'#')) {
            continue;
        } else if (line.startsWith(u"truth:")) {
            const QString codes = line.mid(6).trimmed();
            layouts.back().Truth = codes == u"none" ? QStringList() : codes.split(u' ', Qt::SkipEmptyParts);
        } else if (line.startsWith(u"    | ") || line == u"    |") {
            QByteArray& text = layouts.back().Texts.back();
            text += line.mid(6).toUtf8() + "\r\n";
            layouts.back().Members.back().Size = quint64(text.size());
        } else if (line.startsWith(u"  ")) {
            const QStringList parts = line.trimmed().split(QStringLiteral("  @"));
            IdeDetectionMember member;
            member.Name = parts.first();
            member.IsFolder = member.Name.endsWith(u'/') || member.Name.endsWith(u'\\');
            member.Size = 2000;
            if (parts.size() > 1)
                member.Modified = QDate::fromString(parts.at(1), Qt::ISODate);
            layouts.back().Members.push_back(member);
            layouts.back().Texts.emplace_back();
        }
    }
    return layouts;
}

}  // namespace velm::test
