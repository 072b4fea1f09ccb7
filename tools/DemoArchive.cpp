#include "DemoArchive.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

void Put16(std::string& out, std::uint32_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8 & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Entry {
    std::string name;
    std::uint32_t crc, size, packedSize, offset;
    std::uint16_t method;
};

// The fields local and central headers share, from the method on.
void CommonFields(std::string& zip, const Entry& e, std::uint32_t dosTime) {
    Put16(zip, 0); // flags
    Put16(zip, e.method);
    Put32(zip, dosTime);
    Put32(zip, e.crc);
    Put32(zip, e.packedSize);
    Put32(zip, e.size);
    Put16(zip, std::uint32_t(e.name.size()));
}

void LocalHeader(std::string& zip, const Entry& e, std::uint32_t dosTime) {
    Put32(zip, 0x04034B50);
    Put16(zip, 20);
    CommonFields(zip, e, dosTime);
    Put16(zip, 0); // extra length
    zip += e.name;
}

void CentralHeader(std::string& zip, const Entry& e, std::uint32_t dosTime) {
    Put32(zip, 0x02014B50);
    Put16(zip, 20);
    Put16(zip, 20);
    CommonFields(zip, e, dosTime);
    Put32(zip, 0); // extra and comment lengths
    Put32(zip, 0); // disk number start and internal attributes
    Put32(zip, e.name.back() == '/' ? 0x10 : 0x20);
    Put32(zip, e.offset);
    zip += e.name;
}

} // namespace

std::string MakeShowtimeZip(const TSampleOptions& options) {
    const std::string folder = "\xBD\xDA\xC4\xBF\xB5\xA5/"; // 节目单 in GBK
    const std::uint32_t dosTime = std::uint32_t((options.year - 1980) << 9 | options.month << 5 |
                                                options.day) << 16;
    std::string zip;
    std::vector<Entry> entries;
    entries.push_back({folder, 0, 0, 0, 0, 0});
    LocalHeader(zip, entries.back(), dosTime);
    for (int i = 0; i < options.stations; ++i) {
        std::string text = SampleStationText(options, i);
        std::string packed = RawDeflate(text);
        Entry e{folder + SampleStationName(options, i) + ".txt",
                std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size()))),
                std::uint32_t(text.size()), std::uint32_t(packed.size()), std::uint32_t(zip.size()),
                8};
        LocalHeader(zip, e, dosTime);
        zip += packed;
        entries.push_back(e);
    }
    const std::uint32_t central = std::uint32_t(zip.size());
    for (const Entry& e : entries) CentralHeader(zip, e, dosTime);
    const std::uint32_t centralSize = std::uint32_t(zip.size()) - central;
    Put32(zip, 0x06054B50);
    Put32(zip, 0);
    Put16(zip, std::uint32_t(entries.size()));
    Put16(zip, std::uint32_t(entries.size()));
    Put32(zip, centralSize);
    Put32(zip, central);
    Put16(zip, 0);
    return zip;
}
