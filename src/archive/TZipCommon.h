// Options shared by the archive components, the one error-reporting routine,
// the progress step, and the output writer with its running CRC-32.
#pragma once

#include <cstdint>
#include <string>

#include "archive/TArchiveRoot.h"
#include "platform/Handle.h"

namespace archive {

class TZipCommon : public TArchiveRoot {
    Q_OBJECT
    Q_PROPERTY(archive::TCpuType CpuType READ CpuType WRITE SetCpuType)
    Q_PROPERTY(bool RecurseDirs READ RecurseDirs WRITE SetRecurseDirs)
    Q_PROPERTY(bool TranslateOemChar READ TranslateOemChar WRITE SetTranslateOemChar)
    Q_PROPERTY(bool ConfirmOverwrites READ ConfirmOverwrites WRITE SetConfirmOverwrites)
    Q_PROPERTY(bool CreateStoredDirs READ CreateStoredDirs WRITE SetCreateStoredDirs)
    Q_PROPERTY(archive::TDateAttribute DateAttribute READ DateAttribute WRITE SetDateAttribute)
    Q_PROPERTY(archive::TStrings FileSpec READ FileSpec WRITE SetFileSpec)
    Q_PROPERTY(archive::TOverwriteMode OverwriteMode READ OverwriteMode WRITE SetOverwriteMode)
    Q_PROPERTY(int PasswordAttempts READ PasswordAttempts WRITE SetPasswordAttempts)
    Q_PROPERTY(archive::TStringList Passwords READ Passwords WRITE SetPasswords)
    Q_PROPERTY(bool RestoreFileAttr READ RestoreFileAttr WRITE SetRestoreFileAttr)
    Q_PROPERTY(bool UseStoredDirs READ UseStoredDirs WRITE SetUseStoredDirs)
    Q_PROPERTY(int ZipCmntBufSize READ ZipCmntBufSize WRITE SetZipCmntBufSize STORED false)
public:
    explicit TZipCommon(QObject* parent = nullptr);

    TCpuType CpuType() const { return fCpuType; }
    void SetCpuType(TCpuType value) { fCpuType = value; }
    bool RecurseDirs() const { return fRecurseDirs; }
    void SetRecurseDirs(bool value) { fRecurseDirs = value; }
    bool TranslateOemChar() const { return fTranslateOemChar; }
    void SetTranslateOemChar(bool value) { fTranslateOemChar = value; }
    bool ConfirmOverwrites() const { return fConfirmOverwrites; }
    void SetConfirmOverwrites(bool value) { fConfirmOverwrites = value; }
    bool CreateStoredDirs() const { return fCreateStoredDirs; }
    void SetCreateStoredDirs(bool value) { fCreateStoredDirs = value; }
    TDateAttribute DateAttribute() const { return fDateAttribute; }
    void SetDateAttribute(TDateAttribute value) { fDateAttribute = value; }
    // Masks selecting entries; edited in place or replaced by a copy.
    TStrings& FileSpec() { return fFileSpec; }
    void SetFileSpec(const TStrings& value) { fFileSpec = value; }
    TOverwriteMode OverwriteMode() const { return fOverwriteMode; }
    void SetOverwriteMode(TOverwriteMode value) { fOverwriteMode = value; }
    int PasswordAttempts() const { return fPasswordAttempts; }
    void SetPasswordAttempts(int value) { fPasswordAttempts = value; }
    TStringList& Passwords() { return fPasswords; }
    void SetPasswords(const TStringList& value) { fPasswords = value; }
    bool RestoreFileAttr() const { return fRestoreFileAttr; }
    void SetRestoreFileAttr(bool value) { fRestoreFileAttr = value; }
    bool UseStoredDirs() const { return fUseStoredDirs; }
    void SetUseStoredDirs(bool value) { fUseStoredDirs = value; }
    int ZipCmntBufSize() const { return fZipCmntBufSize; }
    void SetZipCmntBufSize(int value);

    // Cancelling makes every later report carry 25443 and the run stop at its
    // next check. A handler (or a GUI event during the run) sets it.
    bool Cancel() const { return cancelled; }
    void SetCancel(bool value) { cancelled = value; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TOnError OnError;
    TOnProgress OnProgress;
    TOnElapsedTime OnElapsedTime;

protected:
    // The one error report: OnError when assigned, else nothing.
    void ReportError(const std::string& fileName, const std::string& extendedMsg, int code);
    // Reports, then ends the run with E_RAISE.
    [[noreturn]] void RaiseError(const std::string& fileName, const std::string& extendedMsg,
                                 int code);

    // The output writer: writes to outFile and continues the running CRC.
    // Disk full ends the run (25160); a short write reports 25136 and gives false.
    bool WriteOutput(const std::uint8_t* data, std::size_t size);
    // WriteOutput followed by the progress step.
    bool WriteChunk(const std::uint8_t* data, std::size_t size);
    // Lets pending GUI events run, then fires OnProgress.
    void ProgressStep();
    // An entry that will not be written leaves the archive's total.
    void DropFromProgress(std::uint64_t size);

    // OnFileExists binds its var argument to the property itself.
    TOverwriteMode& OverwriteModeRef() { return fOverwriteMode; }
    // A run starts with cpt80486 turned into cptAuto; the value means nothing else.
    void ResetCpuType() {
        if (fCpuType == cpt80486) fCpuType = cptAuto;
    }

    platform::THandleOwner outFile;
    std::string outPath; // the output file's path, for reports
    std::uint32_t runningCrc = 0;
    int fileCount = 0;
    bool writeReported = false; // the writer already reported this entry's failure
    bool cancelled = false;

    std::uint64_t progressFileTotal = 0, progressFileDone = 0;
    std::uint64_t progressArchiveTotal = 0, progressArchiveDone = 0;

private:
    // A write that stopped short of size bytes: disk full ends the run, else
    // 25136 and false when the chunk is incomplete.
    bool WriteFailed(platform::DWORD error, std::size_t written, std::size_t size);
    // A chunk's bytes join the progress counters; then the progress step.
    void ChunkDone(std::size_t size);

    TCpuType fCpuType = cptAuto;
    bool fRecurseDirs = true;
    bool fTranslateOemChar = true;
    bool fConfirmOverwrites = false;
    bool fCreateStoredDirs = false;
    TDateAttribute fDateAttribute = daFileDate;
    TStrings fFileSpec;
    TOverwriteMode fOverwriteMode = omOverwrite;
    int fPasswordAttempts = 3;
    TStringList fPasswords;
    bool fRestoreFileAttr = true;
    bool fUseStoredDirs = true;
    int fZipCmntBufSize = 32767;
};

} // namespace archive
