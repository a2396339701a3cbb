#pragma once

// Writes zip archives byte by byte, so tests control every field of the format,
// including the broken ones and the 64-bit extension. Members are stored, or deflated
// when asked.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <vector>

namespace velm::test {

inline quint32 Crc32(const QByteArray& data) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data)
        crc = table[(crc ^ quint8(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// 2001-02-03 04:05:06 in the MS-DOS packing (time low, date high).
inline constexpr quint32 kSampleDosTime = (quint32((2001 - 1980) << 9 | 2 << 5 | 3) << 16) | (4 << 11 | 5 << 5 | 3);

struct ZipMember {
    ZipMember(QByteArray memberName, QByteArray memberData) : name(std::move(memberName)), data(std::move(memberData)) {}

    QByteArray name;
    QByteArray data;
    quint16 madeBy = (0 << 8) | 20;  // MS-DOS, zip 2.0
    quint16 flags = 0;
    quint32 dosTime = kSampleDosTime;
    QByteArray extra;
    QByteArray comment;
    bool dataDescriptor = false;  // sizes and CRC after the data instead of in the local header
    quint32 externalAttributes = 0;
    qint64 declaredSize = -1;  // uncompressed size to claim instead of the real one
    bool wrongCrc = false;
    QByteArray deflated;  // when set, the member is stored deflated with these bytes
    // The 64-bit extension: the headers hold markers, a zip64 extra field the values.
    bool zip64 = false;
    quint64 claimedSize64 = 0;       // with zip64, an uncompressed size to claim (listing only)
    quint64 claimedComprSize64 = 0;  // with zip64, a compressed size to claim (listing only)
    int zip64ExtraCut = 0;           // bytes cut off the directory's zip64 extra field
};

// The raw deflate stream of the data (zlib's stream without its header and checksum).
inline QByteArray RawDeflate(const QByteArray& data) {
    const QByteArray zlib = qCompress(data, 9);
    return zlib.mid(4 + 2, zlib.size() - 4 - 2 - 4);
}

class ZipBuilder {
public:
    ZipBuilder& Add(ZipMember member) {
        members_.push_back(std::move(member));
        return *this;
    }
    ZipBuilder& Add(const QByteArray& name, const QByteArray& data) { return Add(ZipMember{name, data}); }
    ZipBuilder& Comment(const QByteArray& comment) {
        comment_ = comment;
        return *this;
    }
    // Bytes in front of the archive (as a self-extractor has); offsets stay relative to
    // the archive's own start, so the stored directory offset no longer fits.
    ZipBuilder& Prefix(const QByteArray& prefix) {
        prefix_ = prefix;
        return *this;
    }
    ZipBuilder& BreakHeaderSignature(int index) {
        brokenHeader_ = index;
        return *this;
    }
    ZipBuilder& DeclareEntries(int count) {
        declaredEntries_ = count;
        return *this;
    }
    // Zip64 end record and locator in front of the classic end record, whose fields then
    // hold markers (or, with keepClassicValues, the values, as streaming writers do).
    ZipBuilder& Zip64End(bool keepClassicValues = false) {
        zip64End_ = true;
        keepClassicValues_ = keepClassicValues;
        return *this;
    }
    // Damage to the zip64 end records.
    ZipBuilder& Zip64LocatorPointsTo(quint64 offset) {
        locatorTarget_ = offset;
        return *this;
    }
    ZipBuilder& Zip64Counts(quint64 onThisDisk, quint64 total) {
        zip64OnDisk_ = onThisDisk;
        zip64Total_ = total;
        return *this;
    }
    ZipBuilder& Zip64DirectorySize(quint64 size) {
        zip64DirectorySize_ = size;
        return *this;
    }
    ZipBuilder& Zip64Disks(quint32 disks) {
        zip64Disks_ = disks;
        return *this;
    }

    QByteArray Build() const {
        QByteArray out;
        QByteArray central;
        int index = 0;
        for (const ZipMember& m : members_) {
            const quint64 offset = quint64(out.size());
            const quint32 crc = Crc32(m.data) ^ (m.wrongCrc ? 1u : 0u);
            const bool deflate = !m.deflated.isEmpty();
            const QByteArray& stored = deflate ? m.deflated : m.data;
            const quint16 method = deflate ? 8 : 0;
            const quint32 size = quint32(stored.size());
            const quint32 declared =
                m.declaredSize >= 0 ? quint32(m.declaredSize) : quint32(m.data.size());
            const quint64 size64 = m.claimedComprSize64 ? m.claimedComprSize64 : stored.size();
            const quint64 declared64 = m.claimedSize64 ? m.claimedSize64 : declared;
            const quint16 flags = quint16(m.flags | (m.dataDescriptor ? 0x0008 : 0));
            const quint16 needed = m.zip64 ? 45 : 20;
            QByteArray localExtra = m.extra;
            QByteArray centralExtra = m.extra;
            if (m.zip64) {
                QByteArray values;
                Put64(values, declared64);
                Put64(values, size64);
                localExtra.prepend(Zip64Block(values));
                Put64(values, offset);
                centralExtra.prepend(Zip64Block(values.left(values.size() - m.zip64ExtraCut)));
            }
            const quint32 sizeField = m.zip64 ? 0xFFFFFFFF : size;
            const quint32 declaredField = m.zip64 ? 0xFFFFFFFF : declared;
            Put32(out, 0x04034B50);
            Put16(out, needed);
            Put16(out, flags);
            Put16(out, method);
            Put32(out, m.dosTime);
            Put32(out, m.dataDescriptor ? 0 : crc);
            Put32(out, m.dataDescriptor ? 0 : sizeField);
            Put32(out, m.dataDescriptor ? 0 : declaredField);
            Put16(out, quint16(m.name.size()));
            Put16(out, quint16(localExtra.size()));
            out += m.name;
            out += localExtra;
            out += stored;
            if (m.dataDescriptor) {
                Put32(out, 0x08074B50);
                Put32(out, crc);
                if (m.zip64) {
                    Put64(out, size64);
                    Put64(out, declared64);
                } else {
                    Put32(out, size);
                    Put32(out, declared);
                }
            }
            Put32(central, index == brokenHeader_ ? 0x02014B51 : 0x02014B50);
            Put16(central, m.madeBy);
            Put16(central, needed);
            Put16(central, flags);
            Put16(central, method);
            Put32(central, m.dosTime);
            Put32(central, crc);
            Put32(central, sizeField);
            Put32(central, declaredField);
            Put16(central, quint16(m.name.size()));
            Put16(central, quint16(centralExtra.size()));
            Put16(central, quint16(m.comment.size()));
            Put16(central, 0);
            Put16(central, 0);
            Put32(central, m.externalAttributes);
            Put32(central, m.zip64 ? 0xFFFFFFFF : quint32(offset));
            central += m.name;
            central += centralExtra;
            central += m.comment;
            ++index;
        }
        const quint64 centralOffset = quint64(out.size());
        out += central;
        const quint64 members = members_.size();
        quint16 count = quint16(declaredEntries_ >= 0 ? declaredEntries_ : int(members));
        quint32 centralSize = quint32(central.size());
        quint32 classicOffset = quint32(centralOffset);
        if (zip64End_) {
            const quint64 recordOffset = quint64(out.size());
            Put32(out, 0x06064B50);
            Put64(out, 44);
            Put16(out, (3 << 8) | 45);
            Put16(out, 45);
            Put32(out, 0);
            Put32(out, 0);
            Put64(out, zip64OnDisk_ ? zip64OnDisk_ : members);
            Put64(out, zip64Total_ ? zip64Total_ : members);
            Put64(out, zip64DirectorySize_ ? zip64DirectorySize_ : quint64(central.size()));
            Put64(out, centralOffset);
            Put32(out, 0x07064B50);
            Put32(out, 0);
            Put64(out, locatorTarget_ ? locatorTarget_ : recordOffset);
            Put32(out, zip64Disks_);
            if (!keepClassicValues_) {
                count = declaredEntries_ >= 0 ? quint16(declaredEntries_) : 0xFFFF;
                centralSize = 0xFFFFFFFF;
                classicOffset = 0xFFFFFFFF;
            }
        }
        Put32(out, 0x06054B50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, count);
        Put16(out, count);
        Put32(out, centralSize);
        Put32(out, classicOffset);
        Put16(out, quint16(comment_.size()));
        out += comment_;
        return prefix_ + out;
    }

    bool WriteTo(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(Build()) >= 0;
    }

private:
    static void Put16(QByteArray& out, quint16 v) {
        out += char(v & 0xFF);
        out += char(v >> 8);
    }
    static void Put32(QByteArray& out, quint32 v) {
        Put16(out, quint16(v & 0xFFFF));
        Put16(out, quint16(v >> 16));
    }
    static void Put64(QByteArray& out, quint64 v) {
        Put32(out, quint32(v & 0xFFFFFFFF));
        Put32(out, quint32(v >> 32));
    }
    static QByteArray Zip64Block(const QByteArray& values) {
        QByteArray block;
        Put16(block, 0x0001);
        Put16(block, quint16(values.size()));
        return block + values;
    }

    std::vector<ZipMember> members_;
    QByteArray comment_;
    QByteArray prefix_;
    int brokenHeader_ = -1;
    int declaredEntries_ = -1;
    bool zip64End_ = false;
    bool keepClassicValues_ = false;
    quint64 locatorTarget_ = 0;
    quint64 zip64OnDisk_ = 0;
    quint64 zip64Total_ = 0;
    quint64 zip64DirectorySize_ = 0;
    quint32 zip64Disks_ = 1;
};

}  // namespace velm::test
