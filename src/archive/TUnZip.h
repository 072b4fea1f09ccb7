// The ZIP extractor: the central and local walks that select entries, the
// per-entry ZIP extraction with the password check, and the dispatch on the
// compression method (stored data is copied here, the rest goes through
// DecodeEntry).
//
//   TUnZip unzip;
//   unzip.SetArchiveFile(path);        // detects the archive
//   unzip.FileSpec().Clear();
//   unzip.FileSpec().Add("*.*");
//   unzip.SetExtractDir(folder);
//   unzip.OnEnd = [](QObject*, const std::string& name, bool crcPass) { ... };
//   int files = unzip.Extract();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/Decoders.h"
#include "archive/TUnBase.h"
#include "archive/ZipCrypto.h"

namespace archive {

class TUnZip : public TUnBase {
    Q_OBJECT
public:
    explicit TUnZip(QObject* parent = nullptr);

    TOnCorruptZipHeader OnCorruptZipHeader;

protected:
    int WalkArchive() override;
    void ExtractEntry(const TUnBaseHeaderObj& entry) override;

private:
    class TArchiveSource;
    class TOutputSink;

    std::string ReadLocalHead(std::int64_t pos);
    int CentralWalk();
    int LocalWalk();
    void RefuseOverlappingEntries();
    bool ReadEntryState(const TUnBaseHeaderObj& entry, TEntryState& e);
    bool CheckPassword(const TEntryState& e);
    bool TryPassword(const std::string& password, const std::uint8_t header[EncryptionHeaderSize],
                     std::uint8_t checkByte);
    bool WriteFileEntry(const TEntryState& e);
    void Dispatch(const TEntryState& e, TArchiveSource& source);
    void CopyStored(TArchiveSource& source);
    void ReportDecodeResult(TDecodeResult result, const TEntryState& e);

    TZipCrypto crypto;
    std::vector<std::uint8_t> ioBuffer; // for stored data, made on the first stored entry
};

} // namespace archive
