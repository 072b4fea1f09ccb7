#include "archive/ZipHeaders.h"

namespace archive {

void TByteCursor::Skip(std::size_t n) {
    if (!good || n > size - pos) {
        good = false;
        pos = size;
        return;
    }
    pos += n;
}

std::uint64_t TByteCursor::Take(std::size_t n) {
    if (!good || n > size - pos) {
        good = false;
        pos = size;
        return 0;
    }
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= std::uint64_t(data[pos + i]) << (8 * i);
    pos += n;
    return v;
}

TLocalHeader ParseLocalHeader(const std::uint8_t* bytes) {
    TByteCursor c(bytes, LocalHeaderSize);
    TLocalHeader h;
    h.Signature = c.U32();
    c.Skip(2); // version needed
    h.Flags = c.U16();
    h.Method = c.U16();
    h.DosDateTime = c.U32();
    h.Crc32 = c.U32();
    h.CompressedSize = c.U32();
    h.UncompressedSize = c.U32();
    h.NameLength = c.U16();
    h.ExtraLength = c.U16();
    return h;
}

TCentralHeader ParseCentralHeader(const std::uint8_t* bytes) {
    TByteCursor c(bytes, CentralHeaderSize);
    TCentralHeader h;
    h.Signature = c.U32();
    c.Skip(4); // versions made by and needed
    h.Flags = c.U16();
    h.Method = c.U16();
    h.DosDateTime = c.U32();
    h.Crc32 = c.U32();
    h.CompressedSize = c.U32();
    h.UncompressedSize = c.U32();
    h.NameLength = c.U16();
    h.ExtraLength = c.U16();
    h.CommentLength = c.U16();
    h.DiskNumberStart = c.U16();
    c.Skip(2); // internal attributes
    h.ExternalAttributes = c.U32();
    h.LocalHeaderOffset = c.U32();
    return h;
}

TEndRecord ParseEndRecord(const std::uint8_t* bytes) {
    TByteCursor c(bytes, EndRecordSize);
    TEndRecord e;
    e.Signature = c.U32();
    e.ThisDisk = c.U16();
    e.StartDisk = c.U16();
    e.EntriesOnDisk = c.U16();
    e.TotalEntries = c.U16();
    e.CentralDirSize = c.U32();
    e.CentralDirOffset = c.U32();
    e.CommentLength = c.U16();
    return e;
}

void ApplyZip64Extra(std::string_view extra, std::uint64_t& uncompressedSize,
                     std::uint64_t& compressedSize, std::uint64_t* localHeaderOffset) {
    constexpr std::uint64_t Low48 = 0xFFFFFFFFFFFFull;
    TByteCursor c(reinterpret_cast<const std::uint8_t*>(extra.data()), extra.size());
    while (c.Left() >= 4) {
        std::uint16_t tag = c.U16();
        std::uint16_t size = c.U16();
        if (size > c.Left()) return;
        if (tag != 0x0001) {
            c.Skip(size);
            continue;
        }
        TByteCursor field(
            reinterpret_cast<const std::uint8_t*>(extra.data()) + (extra.size() - c.Left()), size);
        // Only the fields whose 32-bit value overflowed are present, in this order.
        if (uncompressedSize == 0xFFFFFFFF) {
            std::uint64_t v = field.U64();
            if (!field.ok()) return;
            uncompressedSize = v & Low48;
        }
        if (compressedSize == 0xFFFFFFFF) {
            std::uint64_t v = field.U64();
            if (!field.ok()) return;
            compressedSize = v & Low48;
        }
        if (localHeaderOffset && *localHeaderOffset == 0xFFFFFFFF) {
            std::uint64_t v = field.U64();
            if (!field.ok()) return;
            *localHeaderOffset = v & Low48;
        }
        return;
    }
}

} // namespace archive
