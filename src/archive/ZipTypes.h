// Types the ZIP component shows to its users: enumerations (names and order
// are part of the interface), the header state, the string list of masks and
// passwords, and the event signatures.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QObject;

namespace archive {

// clang-format off
enum TArcType {
    atNA, atUnsupported, atFileOpenErr, atUnknown, atAce, atAceExe, atArc, atArcExe, atArj,
    atArjExe, atBh, atBhExe, atCab, atCabExe, atGZip, atHA, atJar, atJarExe, atLha, atLhaExe,
    atLzh, atLzhExe, atMsGZ, atPak, atPakExe, atRar, atRarExe, atTar, atTarGZip, atUUE, atZip,
    atZipExe, atZipDS, atZipMV, atZoo
};
// clang-format on
static_assert(atZip == 30 && atZoo == 34);

enum THeaderType { htLocal, htCentral, htEnding, htLocator, htEnding64, htNone };

// A set of THeaderType in one byte, bit n standing for value n.
class THeaderTypeState {
public:
    THeaderTypeState() = default;
    THeaderTypeState(std::initializer_list<THeaderType> types) {
        for (THeaderType t : types)
            Include(t);
    }
    void Include(THeaderType t) { bits |= std::uint8_t(1u << t); }
    bool Contains(THeaderType t) const { return bits & (1u << t); }
    bool Empty() const { return bits == 0; }
    std::uint8_t Bits() const { return bits; }
    bool operator==(const THeaderTypeState&) const = default;

private:
    std::uint8_t bits = 0;
};

enum TOverwriteMode { omOverwrite, omSkip };
enum TDateAttribute { daFileDate, daSysDate, daMaxFileDate };
enum TCpuType { cptAuto, cpt80286, cpt80386, cpt80486 };

// An ordered list of strings, edited in place (FileSpec, Passwords).
class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items) : Strings(items) {}
    void Clear() { Strings.clear(); }
    void Add(const std::string& s) { Strings.push_back(s); }
    void Insert(int index, const std::string& s) { Strings.insert(Strings.begin() + index, s); }
    int Count() const { return int(Strings.size()); }
    std::string& operator[](int i) { return Strings[std::size_t(i)]; }
    const std::string& operator[](int i) const { return Strings[std::size_t(i)]; }
    bool operator==(const TStringList&) const = default;

    std::vector<std::string> Strings;
};
using TStrings = TStringList;

// Events: the sender first; a reference argument is one the handler may change.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TOnBegin =
    std::function<void(QObject* Sender, const std::string& FileName, int Count, bool& Extract)>;
using TOnEnd = std::function<void(QObject* Sender, const std::string& FileName, bool CRC_PASS)>;
using TOnError =
    std::function<void(QObject* Sender, const std::string& FileName, const std::string& ExtendedMsg,
                       const std::string& VolumeID, int ECode)>;
using TUnBase_OnFileExists =
    std::function<void(QObject* Sender, const std::string& FileName, std::string& NewFileName,
                       TOverwriteMode& OverwriteMode)>;
using TOnRenameFile =
    std::function<void(QObject* Sender, const std::string& FileName, std::string& NewFileName)>;
using TOnGetPassword = std::function<void(QObject* Sender, const std::string& FileName,
                                          std::string& Password, bool& TryAgain)>;
using TOnProgress = std::function<void(QObject* Sender, std::uint8_t ProgressByFile,
                                       std::uint8_t ProgressByArchive)>;
using TOnCorruptZipHeader =
    std::function<void(QObject* Sender, THeaderTypeState HeadFlag, bool& Cancel)>;
using TOnElapsedTime = std::function<void(QObject* Sender, float ElapsedTime)>;

} // namespace archive
