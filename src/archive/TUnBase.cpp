#include "archive/TUnBase.h"

#include <QElapsedTimer>
#include <algorithm>
#include <atomic>

#include "archive/Err_Msgs.h"
#include "archive/FileSpecMatch.h"
#include "archive/ZipCrypto.h"
#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"

namespace archive {

using namespace platform;

namespace {

// Extraction lets GUI events run; a handler must not start a second run while
// one is going (decoder and run state are not made for it).
std::atomic<bool> extractionRunning{false};

std::string PathPart(const std::string& path) {
    std::string::size_type sep = path.find_last_of("\\:");
    return sep == std::string::npos ? "" : path.substr(0, sep + 1);
}

std::string LastComponent(const std::string& relative) {
    std::string::size_type sep = relative.find_last_of('\\');
    return sep == std::string::npos ? relative : relative.substr(sep + 1);
}

std::string FolderOf(const std::string& relative) {
    std::string::size_type sep = relative.find_last_of('\\');
    return sep == std::string::npos ? "" : relative.substr(0, sep + 1);
}

} // namespace

TUnBase::TUnBase(QObject* parent) : TZipCommon(parent) {}

// The owners close the archive, the output folder and any output file left open.
TUnBase::~TUnBase() = default;

void TUnBase::SetExtractDir(const std::string& value) {
    if (value.empty()) {
        fExtractDir = ArchiveFile().empty() ? "" : PathPart(ArchiveFile());
        return;
    }
    std::string dir = value;
    std::replace(dir.begin(), dir.end(), '/', '\\');
    if (dir.back() != '\\') dir += '\\';
    fExtractDir = PathPart(dir);
}

int TUnBase::Extract() {
    if (extractionRunning.exchange(true)) return 0;
    int result = 0;
    try {
        result = Run();
    } catch (...) {
        result = fileCount; // a handler of the opening reports threw
    }
    archive.reset();
    extractionRunning = false;
    return result;
}

int TUnBase::Run() {
    fileCount = 0;
    cancelled = false; // a cancelled run must not mark the next run's first reports
    if (ArchiveFile().empty()) {
        ReportError("", "", E_FILENOTFOUND);
        return 0;
    }
    archive.reset(CreateFileA(ArchiveFile(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!archive.valid()) {
        ReportError(ArchiveFile(), "", E_FOPEN);
        return 0;
    }
    archiveSize = GetFileSizeEx(archive.get());
    totalCompressed = totalUncompressed = 0;
    newestDateTime = 0;
    passwordFailed = false;
    currentPassword.clear();
    ResetCpuType();
    const std::string remembered = ArchiveFile();

    QElapsedTimer clock;
    if (OnElapsedTime) clock.start();
    try {
        RunSteps();
    } catch (...) {
        // Run-ending errors were reported where they arose.
    }
    outFile.reset();
    ReleaseOutputFolder();
    entries.clear();
    try {
        if (OnElapsedTime) OnElapsedTime(this, float(clock.nsecsElapsed() / 1e9));
    } catch (...) {
    }
    try {
        if (OnDeactivate) OnDeactivate(this);
    } catch (...) {
    }
    if (ArchiveFile() != remembered) SetArchiveFile(remembered);
    return fileCount;
}

void TUnBase::RunSteps() {
    if (OnActivate) OnActivate(this);
    entries.clear();
    const int selected = WalkArchive();
    progressArchiveTotal = totalUncompressed;
    progressArchiveDone = 0;
    if (selected <= 0) return;
    for (const TUnBaseHeaderObj& entry : entries) {
        if (cancelled) break;
        ExtractEntry(entry);
    }
}

std::string TUnBase::ConvertName(std::string raw) const {
    if (raw.size() > MaxNameLength) raw.resize(MaxNameLength);
    std::string name = TranslateOemChar() ? OemToAnsi(raw) : raw;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

bool TUnBase::Selected(const std::string& name) {
    return MatchesFileSpec(name, FileSpec(), RecurseDirs());
}

TOutputPath TUnBase::OutputPathOf(const std::string& name) {
    if (fExtractDir.empty()) {
        SetExtractDir("");
        if (fExtractDir.empty()) SetExtractDir(GetCurrentDirectoryA());
    }
    return MakeOutputPath(fExtractDir, name, UseStoredDirs());
}

void TUnBase::AddToTotals(std::uint64_t compressed, std::uint64_t uncompressed, std::uint16_t flags,
                          std::uint32_t dosDateTime) {
    // The encryption header is not the entry's data.
    if (flags & FlagEncrypted)
        compressed = compressed > EncryptionHeaderSize ? compressed - EncryptionHeaderSize : 0;
    totalCompressed += compressed;
    totalUncompressed += uncompressed;
    newestDateTime = std::max(newestDateTime, dosDateTime);
}

bool TUnBase::BeginStep(TEntryState& e) {
    if (OnBegin) {
        if (OnRenameFile) {
            std::string newName = e.Out.Path;
            OnRenameFile(this, e.Out.Path, newName);
            if (!newName.empty() && newName != e.Out.Path) {
                e.Out = TrustedOutputPath(newName);
                ForceDirectories(e.Out.Base);
            }
        }
        bool extract = true;
        OnBegin(this, e.Out.Path, fileCount + 1, extract);
        if (!extract) return false;
    }
    if (cancelled) return false;
    if (!ConfirmOverwrites()) {
        if (OverwriteMode() != omOverwrite) return false;
    } else if (!ConfirmOverwrite(e)) {
        return false;
    }
    ++fileCount;
    return true;
}

// Attributes of the target, looked up below its trusted folder so that no
// link there is followed.
DWORD TUnBase::TargetAttributes(const TOutputPath& out) {
    if (out.Unsafe) return INVALID_FILE_ATTRIBUTES; // never written, so never "in the way"
    const THandleOwner dir(OpenDirectoryBelowA(out.Base, FolderOf(out.Relative), false));
    if (!dir.valid()) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesAtA(dir.get(), LastComponent(out.Relative));
}

void TUnBase::MakeWritable(const TOutputPath& out) {
    const THandleOwner dir(OpenDirectoryBelowA(out.Base, FolderOf(out.Relative), false));
    if (dir.valid())
        SetFileAttributesAtA(dir.get(), LastComponent(out.Relative), FILE_ATTRIBUTE_ARCHIVE);
}

bool TUnBase::ConfirmOverwrite(TEntryState& e) {
    TOverwriteMode& mode = OverwriteModeRef();
    mode = omOverwrite;
    auto fileThere = [&](const TOutputPath& out) {
        DWORD a = TargetAttributes(out);
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    };
    if (fileThere(e.Out)) {
        if (!OnFileExists) {
            ReportError(e.Out.Path, "OnFileExists", E_REQUIREDEVENT);
            mode = omSkip;
            return false;
        }
        do {
            std::string newName;
            OnFileExists(this, e.Out.Path, newName, mode);
            if (newName.empty()) newName = e.Out.Path;
            TOutputPath target = newName == e.Out.Path ? e.Out : TrustedOutputPath(newName);
            ForceDirectories(target.Base);
            if (mode == omOverwrite) {
                if (SameTextAscii(newName, e.Out.Path)) break;
                e.Out = target;
            }
        } while (!cancelled && mode != omSkip && fileThere(e.Out));
        if (!cancelled && mode == omOverwrite) {
            DWORD a = TargetAttributes(e.Out);
            if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
                if (a & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) {
                    ReportError(e.Out.Path, "", E_FWRITE);
                    return false;
                }
                MakeWritable(e.Out);
            }
        }
    }
    return !cancelled && mode == omOverwrite && !e.Out.Path.empty();
}

bool TUnBase::ForceDirectories(const std::string& folder) {
    if (folder.empty() || DirectoryExists(folder)) return true;
    std::string full = ExpandFileName(folder);
    if (full.back() != PathDelim) full += PathDelim;
    for (std::string::size_type i = full.find(PathDelim, 1); i != std::string::npos;
         i = full.find(PathDelim, i + 1))
        CreateDirectoryA(full.substr(0, i)); // a prefix that exists fails harmlessly
    return DirectoryExists(folder);
}

bool TUnBase::CreateDirectoryEntry(const TEntryState& e) {
    if (!ForceDirectories(e.Out.Base)) return false;
    return THandleOwner(OpenDirectoryBelowA(e.Out.Base, e.Out.Relative, true)).valid();
}

bool TUnBase::CreateOutput(const TEntryState& e) {
    const std::string folder = FolderOf(e.Out.Relative);
    if (!outFolder.valid() || outFolderKey != e.Out.Base + folder) {
        ReleaseOutputFolder();
        if (!ForceDirectories(e.Out.Base)) return false;
        outFolder.reset(OpenDirectoryBelowA(e.Out.Base, folder, true));
        if (!outFolder.valid()) return false;
        outFolderKey = e.Out.Base + folder;
    }
    outFile.reset(CreateFileAtA(outFolder.get(), LastComponent(e.Out.Relative), GENERIC_WRITE,
                                FILE_SHARE_NONE, CREATE_ALWAYS));
    outPath = e.Out.Path;
    writeReported = false;
    return outFile.valid();
}

void TUnBase::ReleaseOutputFolder() {
    outFolder.reset();
    outFolderKey.clear();
}

std::uint32_t TUnBase::OutputDateTime(const TEntryState& e) const {
    switch (DateAttribute()) {
    case daSysDate:
        return NowDosDateTime();
    case daMaxFileDate:
        return newestDateTime;
    default:
        return e.LocalDosDateTime;
    }
}

void TUnBase::CloseOutput(const TEntryState& e) {
    if (!outFile.valid()) return;
    THandleOwner file = std::move(outFile);
    SetFileDosDateTime(file.get(), OutputDateTime(e));
    // Only the MS-DOS read-only bit means something here; it is applied
    // through the handle, never through a path that could have changed.
    if (RestoreFileAttr() && e.ExternalAttributes != FILE_ATTRIBUTE_ARCHIVE &&
        (e.ExternalAttributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesByHandle(file.get(), FILE_ATTRIBUTE_READONLY);
    if (!file.close()) ReportError(e.Out.Path, "", E_FCLOSE);
}

void TUnBase::CloseOutputQuietly(const TEntryState& e) {
    try {
        CloseOutput(e);
    } catch (...) {
    }
}

void TUnBase::Uncount(const TEntryState& e) {
    DropFromProgress(e.UncompressedSize);
    fileCount = std::max(fileCount - 1, 0);
}

void TUnBase::EndOfEntry(const std::string& fileName, std::uint32_t expectedCrc, bool failed) {
    const bool pass = !failed && !cancelled &&
                      (expectedCrc == runningCrc || expectedCrc == (runningCrc ^ 0xFFFFFFFF));
    try {
        if (OnEnd)
            OnEnd(this, fileName, pass);
        else if (!pass)
            ReportError(fileName, "", E_BADCRC);
    } catch (...) {
        // A handler's exception ends nothing but its own call.
    }
}

} // namespace archive
