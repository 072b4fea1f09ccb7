#include "archive/ZipHeaders.h"

namespace archive {
namespace {

// The fields both entry headers hold, from the flags on.
void ReadEntryFields(TByteCursor& c, TEntryHeader& h) {
    h.Flags = c.U16();
    h.Method = c.U16();
    h.DosDateTime = c.U32();
    h.Crc32 = c.U32();
    h.CompressedSize = c.U32();
    h.UncompressedSize = c.U32();
    h.NameLength = c.U16();
    h.ExtraLength = c.U16();
}

} // namespace

bool ParseLocalHeader(std::span<const std::uint8_t> bytes, TLocalHeader& h) {
    TByteCursor c(bytes);
    h.Signature = c.U32();
    c.Skip(2); // version needed
    ReadEntryFields(c, h);
    return c.ok() && h.Signature == LocalHeaderSig;
}

bool ParseCentralHeader(std::span<const std::uint8_t> bytes, TCentralHeader& h) {
    TByteCursor c(bytes);
    h.Signature = c.U32();
    c.Skip(4); // versions made by and needed
    ReadEntryFields(c, h);
    h.CommentLength = c.U16();
    h.DiskNumberStart = c.U16();
    c.Skip(2); // internal attributes
    h.ExternalAttributes = c.U32();
    h.LocalHeaderOffset = c.U32();
    return c.ok() && h.Signature == CentralHeaderSig;
}

bool ParseEndRecord(std::span<const std::uint8_t> bytes, TEndRecord& e) {
    TByteCursor c(bytes);
    e.Signature = c.U32();
    e.ThisDisk = c.U16();
    e.StartDisk = c.U16();
    e.EntriesOnDisk = c.U16();
    e.TotalEntries = c.U16();
    e.CentralDirSize = c.U32();
    e.CentralDirOffset = c.U32();
    e.CommentLength = c.U16();
    return c.ok() && e.Signature == EndRecordSig;
}

bool ParseZip64Locator(std::span<const std::uint8_t> bytes, std::uint64_t& endRecordOffset) {
    TByteCursor c(bytes);
    const std::uint32_t signature = c.U32();
    c.Skip(4); // the disk of the Zip64 end record
    const std::uint64_t offset = c.U64();
    if (!c.ok() || signature != Zip64LocatorSig) return false;
    endRecordOffset = offset;
    return true;
}

bool ParseZip64EndRecord(std::span<const std::uint8_t> bytes, std::uint64_t& centralDirSize) {
    TByteCursor c(bytes);
    const std::uint32_t signature = c.U32();
    c.Skip(36); // record size, versions, disks and entry counts
    const std::uint64_t size = c.U64();
    if (!c.ok() || signature != Zip64EndRecordSig) return false;
    centralDirSize = size;
    return true;
}

void ApplyZip64Extra(std::string_view extra, std::uint64_t& uncompressedSize,
                     std::uint64_t& compressedSize, std::uint64_t* localHeaderOffset) {
    TByteCursor c(extra);
    while (c.Left() >= 4) {
        const std::uint16_t tag = c.U16();
        const std::uint16_t size = c.U16();
        if (size > c.Left()) return;
        TByteCursor field(c.Bytes(size));
        if (tag != Zip64ExtraTag) continue;
        // Only the fields whose 32-bit value overflowed are present, in this
        // order; a field cut short ends the parse, keeping those before it.
        auto take = [&field](std::uint64_t& value) {
            if (value != Zip64Overflow) return true;
            const std::uint64_t v = field.U64();
            if (field.ok()) value = v & Low48Bits;
            return field.ok();
        };
        if (take(uncompressedSize) && take(compressedSize) && localHeaderOffset)
            take(*localHeaderOffset);
        return;
    }
}

} // namespace archive
