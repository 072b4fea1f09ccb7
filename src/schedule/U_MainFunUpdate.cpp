#include "schedule/U_MainFunUpdate.h"

#include "archive/TUnZip.h"
#include "platform/Shell.h"

using namespace platform;

void ExtractArchive(archive::TUnZip& extractor, const std::string& archive,
                    const std::string& folder, const std::string& mask) {
    extractor.SetArchiveFile(archive);
    extractor.FileSpec().Clear();
    extractor.FileSpec().Add(mask);
    extractor.SetExtractDir(folder);
    extractor.Extract();
}

bool DeleteFolder(const std::string& path) {
    const std::string from = path + std::string(2, '\0'); // a list of one, ended by an empty one
    SHFILEOPSTRUCTA op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.pTo = "";
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    return SHFileOperationA(&op) == 0;
}
