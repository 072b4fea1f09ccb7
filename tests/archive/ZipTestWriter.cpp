#include "ZipTestWriter.h"

#include <zlib.h>

namespace {

void Put16(std::string& out, std::uint32_t v) {
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Put64(std::string& out, std::uint64_t v) {
    Put32(out, std::uint32_t(v));
    Put32(out, std::uint32_t(v >> 32));
}

// Traditional PKWARE encryption, written here from the format's description
// so that the tests do not check the component against itself.
class Encryptor {
public:
    explicit Encryptor(const std::string& password) {
        for (unsigned char c : password)
            Update(c);
    }
    std::string Encrypt(const std::string& plain) {
        std::string out = plain;
        for (char& c : out) {
            unsigned char p = static_cast<unsigned char>(c);
            std::uint32_t t = (keys[2] | 2) & 0xFFFF;
            c = char(p ^ std::uint8_t((t * (t ^ 1)) >> 8));
            Update(p);
        }
        return out;
    }

private:
    static std::uint32_t Crc(std::uint32_t crc, std::uint8_t b) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        return crc;
    }
    void Update(std::uint8_t b) {
        keys[0] = Crc(keys[0], b);
        keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
        keys[2] = Crc(keys[2], std::uint8_t(keys[1] >> 24));
    }
    std::uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
};

struct Laid {
    std::uint64_t offset = 0;
    std::uint32_t crc = 0;
    std::uint64_t csize = 0, usize = 0;
};

} // namespace

std::uint32_t TestCrc32(const std::string& data) {
    return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    std::uint32_t date = std::uint32_t((year - 1980) << 9 | month << 5 | day);
    std::uint32_t time = std::uint32_t(hour << 11 | minute << 5 | second / 2);
    return date << 16 | time;
}

namespace {

// The entry's data as stored: behind its encryption header when it has a
// password. The key stream runs on from the header into the data.
std::string StoredData(const ZipTestEntry& e, std::uint32_t crc) {
    if (e.password.empty()) return e.data;
    Encryptor enc(e.password);
    std::string header = "0123456789A";
    header += char(e.dataDescriptor ? (e.dosDateTime >> 8) & 0xFF : crc >> 24);
    std::string encrypted = enc.Encrypt(header); // in order: the header first
    return encrypted + enc.Encrypt(e.data);
}

// The local header, the data and the data descriptor of e at the end of out;
// only the layout of an entry that shares another's data.
Laid WriteLocal(std::string& out, const ZipTestEntry& e) {
    Laid l;
    l.offset = out.size();
    l.crc = e.crc.value_or(TestCrc32(e.data));
    l.usize = e.uncompressedSize.value_or(e.data.size());
    const std::string data = StoredData(e, l.crc);
    const std::uint16_t flags = e.flags | (e.password.empty() ? 0 : 1) | (e.dataDescriptor ? 8 : 0);
    l.csize = data.size();
    if (e.sharesDataOf) return l; // no local header of its own
    const std::string& localName = e.localName ? *e.localName : e.name;
    std::string extra;
    if (e.zip64) {
        Put16(extra, 1);
        Put16(extra, 16);
        Put64(extra, l.usize);
        Put64(extra, l.csize);
    }
    Put32(out, 0x04034B50);
    Put16(out, e.zip64 ? 45 : 20);
    Put16(out, flags);
    Put16(out, e.method);
    Put32(out, e.dosDateTime);
    const bool dd = e.dataDescriptor;
    Put32(out, dd ? 0 : l.crc);
    Put32(out, dd ? 0 : e.zip64 ? 0xFFFFFFFF : std::uint32_t(l.csize));
    Put32(out, dd ? 0 : e.zip64 ? 0xFFFFFFFF : std::uint32_t(l.usize));
    Put16(out, std::uint32_t(localName.size()));
    Put16(out, std::uint32_t(extra.size()));
    out += localName + extra + data;
    if (dd) {
        Put32(out, 0x08074B50);
        Put32(out, l.crc);
        Put32(out, std::uint32_t(l.csize));
        Put32(out, std::uint32_t(l.usize));
    }
    return l;
}

void WriteCentral(std::string& out, const ZipTestEntry& e, const Laid& l, std::uint64_t offset) {
    std::string extra;
    if (e.zip64) {
        Put16(extra, 1);
        Put16(extra, e.zip64Offset ? 24 : 16);
        Put64(extra, l.usize);
        Put64(extra, l.csize);
        if (e.zip64Offset) Put64(extra, offset);
    }
    std::uint16_t flags = e.flags | (e.password.empty() ? 0 : 1) | (e.dataDescriptor ? 8 : 0);
    Put32(out, 0x02014B50);
    Put16(out, 0x031E);
    Put16(out, e.zip64 ? 45 : 20);
    Put16(out, flags);
    Put16(out, e.method);
    Put32(out, e.dosDateTime);
    Put32(out, l.crc);
    Put32(out, e.zip64 ? 0xFFFFFFFF : std::uint32_t(l.csize));
    Put32(out, e.zip64 ? 0xFFFFFFFF : std::uint32_t(l.usize));
    Put16(out, std::uint32_t(e.name.size()));
    Put16(out, std::uint32_t(extra.size()));
    Put16(out, 0); // comment
    Put16(out, 0); // disk
    Put16(out, 0); // internal attributes
    Put32(out, e.externalAttributes);
    Put32(out, e.zip64Offset ? 0xFFFFFFFF : std::uint32_t(offset));
    out += e.name + extra;
}

// The Zip64 end record and locator when asked for, the end record and the comment.
void WriteEndRecords(std::string& out, const ZipBuildOptions& options, std::size_t count,
                     std::uint64_t centralStart, std::uint64_t centralSize) {
    if (options.zip64EndRecords) {
        const std::uint64_t z64 = out.size();
        Put32(out, 0x06064B50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, centralSize);
        Put64(out, centralStart);
        Put32(out, 0x07064B50);
        Put32(out, 0);
        Put64(out, z64);
        Put32(out, 1);
    }
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, std::uint32_t(count));
    Put16(out, std::uint32_t(count));
    Put32(out, options.zip64EndRecords ? 0xFFFFFFFF : std::uint32_t(centralSize));
    Put32(out, options.zip64EndRecords ? 0xFFFFFFFF : std::uint32_t(centralStart));
    Put16(out, std::uint32_t(options.comment.size()));
    out += options.comment;
}

} // namespace

ZipTestEntry& ZipTestWriter::Add(ZipTestEntry entry) {
    entries.push_back(std::move(entry));
    return entries.back();
}

ZipTestEntry& ZipTestWriter::AddStored(const std::string& name, const std::string& data) {
    ZipTestEntry e;
    e.name = name;
    e.data = data;
    return Add(e);
}

ZipTestEntry& ZipTestWriter::AddDirectory(const std::string& name) {
    ZipTestEntry e;
    e.name = name;
    e.externalAttributes = 0x10;
    return Add(e);
}

std::string ZipTestWriter::Build(const ZipBuildOptions& options) const {
    std::string out = options.prefix;
    std::vector<Laid> laid(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        laid[i] = WriteLocal(out, entries[i]);
    if (!options.centralDirectory) return out;

    std::vector<int> order = options.centralOrder;
    if (order.empty())
        for (std::size_t i = 0; i < entries.size(); ++i)
            order.push_back(int(i));
    const std::uint64_t centralStart = out.size();
    for (int i : order) {
        const ZipTestEntry& e = entries[std::size_t(i)];
        const Laid& l = laid[std::size_t(i)];
        std::uint64_t offset =
            e.sharesDataOf ? laid[std::size_t(*e.sharesDataOf)].offset : l.offset;
        if (e.centralOffset) offset = *e.centralOffset;
        WriteCentral(out, e, l, offset);
    }
    WriteEndRecords(out, options, order.size(), centralStart, out.size() - centralStart);
    return out;
}
