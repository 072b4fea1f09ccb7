#include "archive/TUnZip.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "archive/Err_Msgs.h"

namespace archive {

using namespace platform;

namespace {

constexpr std::size_t ChunkSize = 32768;

// Reads the central directory front to back through one buffer, so that its
// small records do not cost a system call each.
class TDirectoryReader {
public:
    explicit TDirectoryReader(HANDLE file) : file(file), buffer(65536) {}

    // Up to count bytes at pos; fewer at the end of the file.
    std::size_t Read(std::int64_t pos, void* dst, std::size_t count) {
        if (pos < 0) return 0;
        if (count > buffer.size()) {
            DWORD done = 0;
            ReadFileAt(file, pos, dst, DWORD(count), &done);
            return done;
        }
        if (pos < start || pos + std::int64_t(count) > start + std::int64_t(filled)) {
            DWORD done = 0;
            ReadFileAt(file, pos, buffer.data(), DWORD(buffer.size()), &done);
            start = pos;
            filled = done;
        }
        const std::size_t offset = std::size_t(pos - start);
        const std::size_t n = std::min(count, filled - std::min(offset, filled));
        std::memcpy(dst, buffer.data() + offset, n);
        return n;
    }

private:
    HANDLE file;
    std::vector<std::uint8_t> buffer;
    std::int64_t start = 0;
    std::size_t filled = 0;
};

std::string ReadString(TDirectoryReader& reader, std::int64_t pos, std::size_t size) {
    std::string s(size, '\0');
    s.resize(reader.Read(pos, s.data(), size));
    return s;
}

} // namespace

// The archive read of one entry's data, decrypting when the entry is encrypted.
class TUnZip::TArchiveSource final : public TDecodeSource {
public:
    TArchiveSource(HANDLE file, std::int64_t pos, std::uint64_t size, TZipCrypto* crypto)
        : file(file), pos(pos), remaining(size), crypto(crypto) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t count) override {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(count, remaining));
        if (want == 0) return 0;
        DWORD done = 0;
        if (!ReadFileAt(file, pos, buffer, DWORD(want), &done)) done = 0; // errors read as nothing
        if (crypto) crypto->Decrypt(buffer, done);
        pos += done;
        remaining -= done;
        return done;
    }

    void Unread(std::size_t count) override {
        pos -= std::int64_t(count);
        remaining += count;
    }

    std::uint64_t Remaining() const { return remaining; }

private:
    HANDLE file;
    std::int64_t pos;
    std::uint64_t remaining;
    TZipCrypto* crypto;
};

// The output writer as the decoders see it.
class TUnZip::TOutputSink final : public TDecodeSink {
public:
    explicit TOutputSink(TUnZip& owner) : owner(owner) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        return owner.WriteChunk(data, size);
    }
    bool Cancelled() override { return owner.cancelled; }

private:
    TUnZip& owner;
};

TUnZip::TUnZip(QObject* parent) : TUnBase(parent) {}

int TUnZip::WalkArchive() {
    if (headerState == THeaderTypeState{htLocal}) return LocalWalk();
    return CentralWalk();
}

int TUnZip::CentralWalk() {
    if (directoryPosition < 0) return 0;
    TDirectoryReader reader(archive.get());
    std::int64_t pos = directoryPosition;
    std::uint8_t raw[CentralHeaderSize];
    while (!cancelled) {
        // A header cut short by the end of the file reads as zeros past it.
        std::memset(raw, 0, sizeof raw);
        reader.Read(pos, raw, sizeof raw);
        TCentralHeader h;
        if (!ParseCentralHeader(raw, h)) break;
        const std::int64_t namePos = pos + std::int64_t(CentralHeaderSize);
        const std::string name = ConvertName(ReadString(reader, namePos, h.NameLength));
        const std::string extra = ReadString(reader, namePos + h.NameLength, h.ExtraLength);
        ApplyZip64Extra(extra, h.UncompressedSize, h.CompressedSize, &h.LocalHeaderOffset);
        pos = namePos + h.NameLength + h.ExtraLength + h.CommentLength;
        if (!Selected(name)) continue;

        std::string head = ReadLocalHead(std::int64_t(h.LocalHeaderOffset));
        if (head.empty()) {
            ReportError(name, "", E_BADHEADER);
            continue;
        }
        TUnBaseHeaderObj entry;
        entry.ExternalAttributes = h.ExternalAttributes;
        entry.DiskNumber = std::uint16_t(h.DiskNumberStart + 1);
        entry.LocalHeaderOffset = h.LocalHeaderOffset;
        entry.HasCentral = true;
        entry.Central = h;
        entry.Name = name;
        entry.LocalHead = std::move(head);
        entries.push_back(std::move(entry));
    }
    RefuseOverlappingEntries();
    for (const TUnBaseHeaderObj& e : entries)
        AddToTotals(e.Central.CompressedSize, e.Central.UncompressedSize, e.Central.Flags,
                    e.Central.DosDateTime);
    return int(entries.size());
}

// Entries whose data share bytes with another entry's are refused: several
// central headers pointing into the same data is how the "overlapping
// entries" archive bomb multiplies a small file into a huge output.
void TUnZip::RefuseOverlappingEntries() {
    const std::size_t n = entries.size();
    if (n < 2) return;
    auto begin = [&](std::size_t i) { return entries[i].LocalHeaderOffset; };
    auto end = [&](std::size_t i) {
        const TUnBaseHeaderObj& e = entries[i];
        return e.LocalHeaderOffset + e.LocalHead.size() + e.Central.CompressedSize;
    };
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](auto a, auto b) { return begin(a) < begin(b); });
    std::vector<bool> overlaps(n, false);
    std::uint64_t reach = 0; // furthest end among the entries before
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = order[k];
        if (k > 0 && begin(i) < reach) overlaps[i] = true;
        if (k + 1 < n && begin(order[k + 1]) < end(i)) overlaps[i] = true;
        reach = std::max(reach, end(i));
    }
    std::vector<TUnBaseHeaderObj> kept;
    for (std::size_t i = 0; i < n; ++i) {
        if (overlaps[i])
            ReportError(entries[i].Name, "", E_BADHEADER);
        else
            kept.push_back(std::move(entries[i]));
    }
    entries = std::move(kept);
}

int TUnZip::LocalWalk() {
    if (OnCorruptZipHeader) {
        bool cancel = true;
        OnCorruptZipHeader(this, headerState, cancel);
        if (cancel) return 0;
    }
    std::int64_t pos = directoryPosition;
    std::uint8_t first[4];
    if (ReadAt(archive.get(), pos, first, sizeof first) == sizeof first &&
        Sig(first) == SpanningSig)
        pos += 4;
    for (std::string head = ReadLocalHead(pos); !head.empty() && !cancelled;
         head = ReadLocalHead(pos)) {
        TLocalHeader h;
        ParseLocalHeader(ByteSpan(head), h); // ReadLocalHead has checked it
        ApplyZip64Extra(std::string_view(head).substr(LocalHeaderSize + h.NameLength),
                        h.UncompressedSize, h.CompressedSize, nullptr);
        // Sizes that follow the data in a descriptor are unknown here: the
        // entry cannot be told from what comes after it, so the walk ends
        // (writing it as an empty file that "passes" would hide the loss).
        if ((h.Flags & FlagDataDescriptor) && h.CompressedSize == 0) break;
        const std::string name = ConvertName(head.substr(LocalHeaderSize, h.NameLength));
        const std::int64_t next = pos + std::int64_t(head.size() + h.CompressedSize);
        if (!name.empty() && Selected(name)) {
            TUnBaseHeaderObj entry;
            entry.LocalHeaderOffset = std::uint64_t(pos);
            entry.Name = name;
            entry.LocalHead = std::move(head);
            entries.push_back(std::move(entry));
            AddToTotals(h.CompressedSize, h.UncompressedSize, h.Flags, h.DosDateTime);
        }
        pos = next;
    }
    return int(entries.size());
}

// The local header at pos with its name and extra field, mostly in one read;
// empty when pos holds no complete local header.
std::string TUnZip::ReadLocalHead(std::int64_t pos) {
    std::string head(LocalHeaderSize + 256, '\0');
    head.resize(ReadAt(archive.get(), pos, head.data(), head.size()));
    TLocalHeader h;
    if (!ParseLocalHeader(ByteSpan(head), h)) return "";
    const std::size_t full = LocalHeaderSize + h.NameLength + h.ExtraLength;
    if (head.size() < full) {
        const std::size_t have = head.size();
        head.resize(full);
        if (ReadAt(archive.get(), pos + std::int64_t(have), head.data() + have, full - have) <
            full - have)
            return "";
    }
    head.resize(full);
    return head;
}

bool TUnZip::ReadEntryState(const TUnBaseHeaderObj& entry, TEntryState& e) {
    const std::string& head = entry.LocalHead;
    TLocalHeader l;
    if (!ParseLocalHeader(ByteSpan(head), l)) return false;
    ApplyZip64Extra(std::string_view(head).substr(LocalHeaderSize + l.NameLength),
                    l.UncompressedSize, l.CompressedSize, nullptr);
    const std::int64_t at = std::int64_t(entry.LocalHeaderOffset);
    // Selection went by the central name; the output goes by the local one.
    e.StoredName = ConvertName(head.substr(LocalHeaderSize, l.NameLength));
    e.Out = OutputPathOf(e.StoredName);
    e.LocalDosDateTime = l.DosDateTime;
    e.LocalCrc = l.Crc32;
    e.ExternalAttributes = entry.ExternalAttributes;
    e.DataStart = at + std::int64_t(head.size());
    if (entry.HasCentral) {
        const TCentralHeader& c = entry.Central;
        e.Flags = c.Flags;
        e.Method = c.Method;
        e.CompressedSize = c.CompressedSize;
        e.UncompressedSize = c.UncompressedSize;
        // Sizes and CRC in a data descriptor: the local CRC is 0.
        e.ExpectedCrc = c.CompressedSize != 0 && l.Crc32 == 0 ? c.Crc32 : l.Crc32;
    } else {
        e.Flags = l.Flags;
        e.Method = l.Method;
        e.CompressedSize = l.CompressedSize;
        e.UncompressedSize = l.UncompressedSize;
        e.ExpectedCrc = l.Crc32;
    }
    // Folder entries carry the MS-DOS folder bit; writers that leave the
    // attributes 0 (and the local walk, which has none) still end the name
    // with a separator.
    e.IsDirectory = (e.ExternalAttributes & AttrDirectory) ||
                    (!e.StoredName.empty() && e.StoredName.back() == '\\');
    return true;
}

void TUnZip::ExtractEntry(const TUnBaseHeaderObj& entry) {
    TEntryState e;
    if (!ReadEntryState(entry, e)) {
        ReportError(entry.Name, "", E_BADHEADER);
        DropFromProgress(entry.HasCentral ? entry.Central.UncompressedSize : 0);
        return;
    }
    if (!e.IsDirectory && !BeginStep(e)) {
        DropFromProgress(e.UncompressedSize);
        return;
    }
    e.Encrypted = !e.IsDirectory && (e.Flags & FlagEncrypted);
    // No password is asked for an entry that will not be written anyway.
    if (e.Encrypted && !e.Out.Unsafe && !passwordFailed && !CheckPassword(e)) passwordFailed = true;

    // From here on the entry gets exactly one OnEnd, whatever happens.
    std::string endName = e.Out.Path;
    bool failed = false;
    runningCrc = 0;
    try {
        if (e.IsDirectory) {
            if (e.Out.Unsafe) {
                ReportError(e.StoredName, "", E_FOPEN);
                failed = true;
            } else if (CreateStoredDirs() && !CreateDirectoryEntry(e)) {
                ReportError(e.Out.Path, "", E_FOPEN);
                failed = true;
            } else {
                runningCrc = e.ExpectedCrc;
            }
        } else if (e.Encrypted && passwordFailed) {
            Uncount(e);
            endName = e.StoredName;
            failed = true;
        } else {
            failed = !WriteFileEntry(e);
        }
    } catch (const E_RAISE&) {
        CloseOutputQuietly(e);
        EndOfEntry(endName, e.ExpectedCrc, true);
        throw;
    } catch (...) {
        CloseOutputQuietly(e);
        failed = true;
    }
    EndOfEntry(endName, e.ExpectedCrc, failed);
}

bool TUnZip::WriteFileEntry(const TEntryState& e) {
    if (e.Out.Unsafe) {
        ReportError(e.StoredName, "", E_FOPEN);
        Uncount(e);
        return false;
    }
    if (!CreateOutput(e)) {
        ReportError(e.Out.Path, "", E_FOPEN);
        Uncount(e);
        return false;
    }
    progressFileTotal = e.UncompressedSize;
    progressFileDone = 0;
    runningCrc = 0xFFFFFFFF;
    // The encryption header, which the password check has read, is no data.
    const std::size_t skipped = e.Encrypted ? EncryptionHeaderSize : 0;
    const std::uint64_t size = e.CompressedSize > skipped ? e.CompressedSize - skipped : 0;
    TArchiveSource source(archive.get(), e.DataStart + std::int64_t(skipped), size,
                          e.Encrypted ? &crypto : nullptr);
    try {
        Dispatch(e, source);
    } catch (...) {
        runningCrc ^= 0xFFFFFFFF;
        CloseOutputQuietly(e);
        throw;
    }
    runningCrc ^= 0xFFFFFFFF;
    CloseOutput(e);
    return true;
}

void TUnZip::Dispatch(const TEntryState& e, TArchiveSource& source) {
    if (e.Method == MethodStored) {
        CopyStored(source);
        return;
    }
    if (e.Method == MethodTokenized || e.Method > MethodDeflate64) {
        ReportError(e.StoredName, "", E_UNKNMETH);
        return;
    }
    TDecodeEntry d;
    d.method = e.Method;
    d.flags = e.Flags;
    d.compressedSize = source.Remaining();
    d.uncompressedSize = e.UncompressedSize;
    TOutputSink sink(*this);
    ReportDecodeResult(DecodeEntry(d, source, sink), e);
}

// Stored data is copied in the chunks the decoders write: one read, one
// write and one progress step (with its cancel check) per chunk.
void TUnZip::CopyStored(TArchiveSource& source) {
    if (ioBuffer.size() < ChunkSize) ioBuffer.resize(ChunkSize);
    while (!cancelled) {
        const std::size_t got = source.Read(ioBuffer.data(), ChunkSize);
        if (got == 0 || !WriteChunk(ioBuffer.data(), got)) return;
    }
}

void TUnZip::ReportDecodeResult(TDecodeResult result, const TEntryState& e) {
    switch (result) {
    case TDecodeResult::Ok:
    case TDecodeResult::DataError: // the CRC check tells
    case TDecodeResult::Cancelled:
        return;
    case TDecodeResult::BadBlock:
        RaiseError(e.StoredName, "", E_BADBLOCK);
    case TDecodeResult::StackOverflow:
        RaiseError(e.StoredName, "", E_STACKOVERFLOW);
    case TDecodeResult::TreeBuild:
        ReportError(e.StoredName, "", E_AMBIGUOUSTREE);
        return;
    case TDecodeResult::TreeDecode:
        RaiseError(e.StoredName, "", E_AMBIGUOUSTREE);
    case TDecodeResult::WriteFailed:
        if (writeReported) throw E_RAISE(E_FWRITE); // the writer has said so already
        RaiseError(ArchiveFile(), e.Out.Path, E_FWRITE);
    case TDecodeResult::Unsupported:
        ReportError(e.StoredName, "", E_UNKNMETH);
        return;
    }
}

bool TUnZip::TryPassword(const std::string& password,
                         const std::uint8_t header[EncryptionHeaderSize], std::uint8_t checkByte) {
    return crypto.CheckPassword(password, header, checkByte);
}

// The traditional encryption's check: the encryption header must decrypt to the
// high byte of the DOS time (sizes in a data descriptor) or of the CRC-32.
bool TUnZip::CheckPassword(const TEntryState& e) {
    std::uint8_t header[EncryptionHeaderSize] = {};
    if (ReadAt(archive.get(), e.DataStart, header, sizeof header) < sizeof header) {
        ReportError(e.Out.Path, "", E_INVALIDPASSWORD);
        return false;
    }
    const std::uint8_t checkByte = (e.Flags & FlagDataDescriptor)
                                       ? std::uint8_t(e.LocalDosDateTime >> 8)
                                       : std::uint8_t(e.ExpectedCrc >> 24);
    if (TryPassword(currentPassword, header, checkByte)) return true;
    for (const std::string& p : Passwords().Strings) {
        if (TryPassword(p, header, checkByte)) {
            currentPassword = p;
            return true;
        }
    }
    if (!OnGetPassword) {
        ReportError(e.Out.Path, "OnGetPassword", E_REQUIREDEVENT);
        return false;
    }
    for (int round = 0; round < PasswordAttempts(); ++round) {
        std::string password = currentPassword;
        bool tryAgain = true;
        OnGetPassword(this, e.Out.Path, password, tryAgain);
        if (!tryAgain) {
            ReportError(e.Out.Path, "", E_INVALIDPASSWORD);
            return false;
        }
        if (TryPassword(password, header, checkByte)) {
            Passwords().Insert(0, password);
            currentPassword = password;
            return true;
        }
        currentPassword.clear();
        ReportError(e.Out.Path, "", E_INVALIDPASSWORD);
    }
    return false;
}

} // namespace archive
