// Traditional PKWARE decryption against archives that Info-ZIP zip and 7-Zip
// encrypt at test time: the password check (check byte from the DOS time when
// flag bit 3 is set, else from the CRC-32) and decryption feeding the decoders.
#include "DecodeTestData.h"
#include "DecodeTestZip.h"
#include "archive/ZipCrypto.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace decodetest;
using archive::TDecodeResult;
using archive::TZipCrypto;

namespace {

struct TEncrypted {
    const char* name;
    const char* tool;
    const char* command; // run in the folder holding plain.txt; writes out.zip
    bool dataDescriptor;
    std::uint16_t method;
};

void PrintTo(const TEncrypted& c, std::ostream* os) {
    *os << c.name;
}

const TEncrypted EncryptedCases[] = {
    {"zip", "zip", "zip -q -P 'pass word' out.zip plain.txt", true, 8},
    {"zip from stdin", "zip", "zip -q -P 'pass word' out.zip - < plain.txt", true, 8},
    {"zip stored", "zip", "zip -q -0 -P 'pass word' out.zip plain.txt", true, 0},
    {"7-Zip", "7zz", "7zz a -tzip '-ppass word' -mem=ZipCrypto out.zip plain.txt >/dev/null", false,
     8},
};

std::uint8_t CheckByte(const TZipTestEntry& entry) {
    return std::uint8_t((entry.flags & 8) ? entry.dosTime >> 8 : entry.crc >> 24);
}

std::string Decrypt(TZipCrypto& crypto, std::string data) {
    crypto.Decrypt(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    return data;
}

const std::uint8_t* Header(const TZipTestEntry& entry) {
    return reinterpret_cast<const std::uint8_t*>(entry.encryptionHeader.data());
}

class ZipCryptoArchive : public testing::TestWithParam<TEncrypted> {
protected:
    void SetUp() override {
        if (!HaveTool(GetParam().tool)) GTEST_SKIP() << GetParam().tool << " is not installed";
        plain = MakeTestData(TDataKind::Text, 100000, 8);
        WriteAll(dir.file("plain.txt"), plain);
        ASSERT_TRUE(RunTool("cd '" + dir.path() + "' && " + GetParam().command));
        std::vector<TZipTestEntry> entries = ReadZipTestEntries(ReadFileBytes(dir.file("out.zip")));
        ASSERT_EQ(entries.size(), 1u);
        entry = entries[0];
    }

    TempDir dir;
    std::string plain;
    TZipTestEntry entry;
};

TEST_P(ZipCryptoArchive, RightPasswordDecryptsAndDecodes) {
    ASSERT_TRUE(entry.flags & 1);
    EXPECT_EQ(bool(entry.flags & 8), GetParam().dataDescriptor);
    ASSERT_EQ(entry.method, GetParam().method);
    TZipCrypto crypto;
    ASSERT_TRUE(crypto.CheckPassword("pass word", Header(entry), CheckByte(entry)));
    std::string data = Decrypt(crypto, entry.data);
    std::string output =
        entry.method == 0 ? data : DecodeBytes(8, 0, data, entry.uncompressedSize).output;
    EXPECT_EQ(Crc32Of(output), entry.crc);
    EXPECT_TRUE(output == plain);
}

// A wrong password fails the check, or (1 in 256) passes it and then fails the CRC.
TEST_P(ZipCryptoArchive, WrongPasswordFails) {
    TZipCrypto crypto;
    EXPECT_FALSE(crypto.CheckPassword("", Header(entry), CheckByte(entry)));
    for (const char* wrong : {"pass", "Pass word", "pass word ", "x"}) {
        if (!crypto.CheckPassword(wrong, Header(entry), CheckByte(entry))) continue;
        std::string data = Decrypt(crypto, entry.data);
        std::string output =
            entry.method == 0 ? data : DecodeBytes(8, 0, data, entry.uncompressedSize).output;
        EXPECT_NE(Crc32Of(output), entry.crc) << wrong;
    }
}

// The archive read decrypts block by block; the keys carry across the calls.
TEST_P(ZipCryptoArchive, DecryptsInPieces) {
    TZipCrypto crypto;
    ASSERT_TRUE(crypto.CheckPassword("pass word", Header(entry), CheckByte(entry)));
    std::string whole = Decrypt(crypto, entry.data);
    ASSERT_TRUE(crypto.CheckPassword("pass word", Header(entry), CheckByte(entry)));
    std::string pieces;
    for (std::size_t at = 0; at < entry.data.size(); at += 777)
        pieces += Decrypt(crypto, entry.data.substr(at, 777));
    EXPECT_TRUE(pieces == whole);
}

INSTANTIATE_TEST_SUITE_P(Tools, ZipCryptoArchive, testing::ValuesIn(EncryptedCases),
                         [](const testing::TestParamInfo<TEncrypted>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

} // namespace
