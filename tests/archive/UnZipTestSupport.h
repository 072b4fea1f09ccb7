// A TUnZip over an archive in a temporary folder, with every event it fires
// recorded in order.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "ZipTestWriter.h"
#include "archive/TUnZip.h"
#include "support/TempDir.h"

struct ZipError {
    int code;
    std::string file;
    std::string extended;
};

// "/" to "\", the component's separator.
inline std::string Bs(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class UnZipTest : public ::testing::Test {
protected:
    UnZipTest() {
        out = tmp.file("out/");
        unzip.OnActivate = [this](QObject*) { events.push_back("Activate"); };
        unzip.OnDeactivate = [this](QObject*) { events.push_back("Deactivate"); };
        unzip.OnEnd = [this](QObject*, const std::string& name, bool pass) {
            events.push_back("End");
            ends.emplace_back(name, pass);
        };
        unzip.OnError = [this](QObject*, const std::string& file, const std::string& ext,
                               const std::string& volume, int code) {
            EXPECT_EQ(volume, "0");
            events.push_back("Error " + std::to_string(code));
            errors.push_back({code, file, ext});
        };
    }

    // Writes the archive, selects with one mask and extracts into out.
    int Extract(const std::string& zipBytes, const std::string& mask = "*.*") {
        WriteAll(tmp.file("a.zip"), zipBytes);
        return ExtractFile(tmp.file("a.zip"), mask);
    }
    int ExtractFile(const std::string& path, const std::string& mask = "*.*") {
        unzip.SetArchiveFile(path);
        unzip.FileSpec().Clear();
        unzip.FileSpec().Add(mask);
        unzip.SetExtractDir(out);
        return unzip.Extract();
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const ZipError& e : errors)
            codes.push_back(e.code);
        return codes;
    }
    std::vector<std::string> EndNames() const {
        std::vector<std::string> names;
        for (const auto& [name, pass] : ends)
            names.push_back(name);
        return names;
    }
    // Where an entry lands, as the events name it.
    std::string OutPath(const std::string& relative) const { return Bs(out + relative); }

    TempDir tmp;
    std::string out;
    archive::TUnZip unzip;
    std::vector<std::string> events;
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<ZipError> errors;
};

// GBK bytes of 节目单 and of a character whose second byte is "\".
inline const std::string GbkFolder = "\xBD\xDA\xC4\xBF\xB5\xA5";
inline const std::string GbkWith5C = "\x81\x5C";
inline const std::string Utf8Folder = "节目单";
inline const std::string Utf8With5C = "乗";
