// The extraction run shared by the archive types: selection by FileSpec, the
// output path, the per-entry begin step (overwrite rules), output files and
// folders, and the end-of-entry check with OnEnd. The type-specific walk and
// the per-entry extraction are the two virtual steps a format supplies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/OutputPath.h"
#include "archive/TZipCommon.h"

namespace archive {

// One selected entry, in archive order.
struct TUnBaseHeaderObj {
    std::uint32_t ExternalAttributes = 0;
    std::uint16_t DiskNumber = 1; // start disk plus one
    std::uint64_t LocalHeaderOffset = 0;
    bool HasCentral = false;
    TCentralHeader Central; // with its Zip64 values applied
    std::string Name;       // converted name, for reports
    // The local header with its name and extra field, as the walk read it;
    // the entry's data follows it.
    std::string LocalHead;
};

class TUnBase : public TZipCommon {
    Q_OBJECT
    Q_PROPERTY(std::string ExtractDir READ ExtractDir WRITE SetExtractDir)
public:
    explicit TUnBase(QObject* parent = nullptr);
    ~TUnBase() override;

    // Kept with "\" separators and a trailing "\"; an empty value takes the
    // folder of ArchiveFile.
    std::string ExtractDir() const { return fExtractDir; }
    void SetExtractDir(const std::string& value);

    // Extracts the selected entries below ExtractDir and gives the number of
    // files written. Reports failures through OnError and never throws. Only
    // one extraction runs at a time in the program: a nested call (from a
    // handler or a GUI event during the run) gives 0 and does nothing.
    int Extract();
    int FileCount() const { return fileCount; }

    TOnBegin OnBegin;
    TOnEnd OnEnd;
    TUnBase_OnFileExists OnFileExists;
    TOnRenameFile OnRenameFile;
    TOnGetPassword OnGetPassword;

protected:
    // What the per-entry steps know of the entry being extracted.
    struct TEntryState {
        std::string StoredName; // converted; the output path comes from it
        TOutputPath Out;
        bool IsDirectory = false;
        std::uint16_t Flags = 0;
        std::uint16_t Method = 0;
        std::uint64_t CompressedSize = 0;
        std::uint64_t UncompressedSize = 0;
        std::uint32_t LocalDosDateTime = 0;
        std::uint32_t LocalCrc = 0;
        std::uint32_t ExpectedCrc = 0;
        std::uint32_t ExternalAttributes = 0;
        std::int64_t DataStart = 0;
        bool Encrypted = false;
    };

    // Fills entries and the totals; gives the number of selected entries.
    virtual int WalkArchive() = 0;
    virtual void ExtractEntry(const TUnBaseHeaderObj& entry) = 0;

    // A stored name as the component uses it: at most 255 bytes, OEM to ANSI
    // when asked (GBK to UTF-8 here, before any "\" is looked at), "/" as "\".
    std::string ConvertName(std::string raw) const;
    bool Selected(const std::string& name);
    TOutputPath OutputPathOf(const std::string& name);
    // Overwrite rules; true when the file entry goes ahead (FileCount counts it).
    bool BeginStep(TEntryState& e);
    // Folder chain of a path; succeeds when the folder exists afterwards.
    bool ForceDirectories(const std::string& folder);
    bool CreateDirectoryEntry(const TEntryState& e);
    bool CreateOutput(const TEntryState& e);
    void CloseOutput(const TEntryState& e);
    // The same while another error is on its way: a handler's exception is dropped.
    void CloseOutputQuietly(const TEntryState& e);
    void ReleaseOutputFolder();
    // CRC verdict and OnEnd (or 25151). failed: nothing sound was written.
    void EndOfEntry(const std::string& fileName, std::uint32_t expectedCrc, bool failed);
    // An entry that will not be written after all.
    void Uncount(const TEntryState& e);

    void AddToTotals(std::uint64_t compressed, std::uint64_t uncompressed, std::uint16_t flags,
                     std::uint32_t dosDateTime);

    platform::THandleOwner archive;
    // The folder the last output went to, kept open for the next entry:
    // station files all go to one folder.
    platform::THandleOwner outFolder;
    std::string outFolderKey;
    std::vector<TUnBaseHeaderObj> entries;
    std::uint64_t totalCompressed = 0, totalUncompressed = 0;
    std::uint32_t newestDateTime = 0;
    bool passwordFailed = false;
    std::string currentPassword;

private:
    int Run();
    void RunSteps();
    bool ConfirmOverwrite(TEntryState& e);
    platform::DWORD TargetAttributes(const TOutputPath& out);
    void MakeWritable(const TOutputPath& out);
    std::uint32_t OutputDateTime(const TEntryState& e) const;

    std::string fExtractDir;
};

} // namespace archive
