#pragma once

// The members of generated component archives: what a Delphi package's zip file holds
// (units, forms, compiled units per IDE version, packages, resources, help, a demo, the
// read-me files), with folders, sizes, dates and checksums that look real. The same seed
// always gives the same members; they come from a random stream of their own, so adding
// members to a catalogue changes none of its other contents.

#include "catalogue_content.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velm::bench {

struct MemberContent {
    std::string name;  // folders separated by "/", as a zip file stores them; a folder ends in "/"
    std::int64_t size = 0;
    std::int64_t packedSize = 0;
    QDateTime modified;  // local time, to the even second (the MS-DOS packing)
    std::uint32_t crc32 = 0;
    bool isFolder = false;
};

class MemberMaker {
public:
    explicit MemberMaker(std::uint64_t seed) : rng_(seed ^ 0x6D656D6265727321ull) {}

    // How many members each package's archive has: most a handful to a few dozen, a few
    // large libraries with hundreds or thousands; `total` in all, at least one each.
    std::vector<int> Counts(int packages, std::int64_t total) {
        std::vector<int> counts(static_cast<std::size_t>(packages), packages > 0 ? 1 : 0);
        if (packages <= 0 || total <= packages)
            return counts;
        std::vector<double> weights(counts.size());
        double sum = 0;
        for (double& weight : weights) {
            // Log-normal: exp of a normal draw (Box-Muller) with a wide spread.
            const double u1 = std::max(rng_.Unit(), 1e-12);
            const double u2 = rng_.Unit();
            weight = std::exp(1.1 * std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2));
            sum += weight;
        }
        const std::int64_t spare = total - packages;
        std::int64_t given = 0;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            const auto extra = static_cast<std::int64_t>(static_cast<double>(spare) * weights[i] / sum);
            counts[i] += static_cast<int>(extra);
            given += extra;
        }
        for (std::size_t i = 0; given < spare; i = (i + 1) % counts.size(), ++given)
            ++counts[i];
        return counts;
    }

    // The members of one package's archive, `count` in all.
    std::vector<MemberContent> Members(const std::string& productName, const std::string& releaseDate, int count) {
        std::vector<MemberContent> members;
        members.reserve(static_cast<std::size_t>(count));
        taken_.clear();
        const std::string stem = Stem(productName);
        // Some authors put everything below a folder named after the product; some
        // archivers store the folders as members of their own.
        const std::string root = rng_.Chance(30) ? stem + "/" : std::string();
        const bool folderEntries = rng_.Chance(50);
        const QDate released = QDate::fromString(QString::fromStdString(releaseDate), Qt::ISODate);
        const int ide = rng_.Between(3, 7);  // the newest IDE version the package was built for

        const auto add = [&](const std::string& folder, const std::string& file, int sizeKb) {
            if (static_cast<int>(members.size()) >= count)
                return;
            const std::string path = root + folder;
            if (folderEntries && !path.empty() && taken_.insert(path).second)
                members.push_back(Folder(path, released));
            if (static_cast<int>(members.size()) >= count)
                return;
            std::string name = path + file;
            for (int n = 2; !taken_.insert(name).second; ++n) {
                const std::size_t dot = file.rfind('.');
                name = path + file.substr(0, dot) + std::to_string(n) + file.substr(dot);
            }
            members.push_back(File(name, sizeKb, released));
        };

        add("", rng_.Chance(70) ? stem + ".inf" : "file_id.diz", 1);
        add("", "ReadMe.txt", 4);
        add("Source/", stem + ".pas", 40);
        add("Source/", stem + "Reg.pas", 3);
        add("Source/", stem + ".dcr", 2);
        add("Packages/", stem + "D" + std::to_string(ide) + ".dpk", 1);
        add("Lib/D" + std::to_string(ide) + "/", stem + ".dcu", 60);
        add("Demo/", stem + "Demo.dpr", 1);
        add("Demo/", "MainForm.pas", 8);
        add("Demo/", "MainForm.dfm", 6);
        add("", "License.txt", 3);
        add("Help/", stem + ".hlp", 120);
        add("", "History.txt", 5);
        // A larger package: more units, each compiled for several IDE versions, more
        // demo forms and packages.
        int unit = 0;
        while (static_cast<int>(members.size()) < count) {
            const std::string part = std::string(content::kStems[static_cast<std::size_t>(rng_.Below(
                                         static_cast<int>(content::kStems.size())))]) +
                                     std::string(kUnitParts[static_cast<std::size_t>(rng_.Below(
                                         static_cast<int>(kUnitParts.size())))]);
            const std::string unitName = (rng_.Chance(60) ? stem : std::string()) + part;
            switch (unit++ % 6) {
            case 0:
            case 1:
                add("Source/", unitName + ".pas", 25);
                for (int version = ide; version > ide - 2 && version >= 3; --version)
                    add("Lib/D" + std::to_string(version) + "/", unitName + ".dcu", 30);
                break;
            case 2:
                add("Source/", unitName + (rng_.Chance(30) ? ".inc" : ".pas"), 10);
                break;
            case 3:
                add("Demo/", "Unit" + std::to_string(unit) + ".pas", 6);
                add("Demo/", "Unit" + std::to_string(unit) + ".dfm", 5);
                break;
            case 4:
                add("Packages/", stem + (rng_.Chance(50) ? "C" : "D") + std::to_string(rng_.Between(3, 7)) +
                                     (rng_.Chance(50) ? ".bpk" : ".dpk"), 1);
                break;
            default:
                add("Source/", unitName + (rng_.Chance(50) ? ".res" : ".dfm"), 4);
                break;
            }
        }
        return members;
    }

private:
    static constexpr std::array<std::string_view, 16> kUnitParts = {
        "", "", "Utils", "Consts", "Types", "Editors", "Dlg", "Actions", "Db", "Common",
        "Reg", "Props", "Intf", "Design", "Ctrls", "Frm"};

    // The unit name a product's author would choose: its letters and digits, cut short.
    static std::string Stem(const std::string& product) {
        std::string stem;
        for (char c : product)
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                stem += c;
        if (stem.size() > 20)
            stem.resize(20);
        return stem.empty() ? std::string("Unit") : stem;
    }

    QDateTime Moment(const QDate& released) {
        const QDate day = released.isValid() ? released.addDays(-rng_.Below(200)) : QDate(1997, 1, 1);
        return QDateTime(day, QTime(rng_.Between(7, 23), rng_.Below(60), 2 * rng_.Below(30)));
    }

    MemberContent Folder(const std::string& name, const QDate& released) {
        MemberContent member;
        member.name = name;
        member.modified = Moment(released);
        member.isFolder = true;
        return member;
    }

    MemberContent File(const std::string& name, int sizeKb, const QDate& released) {
        MemberContent member;
        member.name = name;
        // Sizes spread around the kind's typical size; text packs to about a third.
        member.size = static_cast<std::int64_t>(1024.0 * sizeKb * (0.2 + 1.6 * rng_.Unit())) + rng_.Below(1024);
        member.packedSize = static_cast<std::int64_t>(static_cast<double>(member.size) * (0.25 + 0.3 * rng_.Unit()));
        member.modified = Moment(released);
        member.crc32 = static_cast<std::uint32_t>(rng_.Next());
        return member;
    }

    Rng rng_;
    std::unordered_set<std::string> taken_;
};

}  // namespace velm::bench
