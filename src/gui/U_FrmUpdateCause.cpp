#include "gui/U_FrmUpdateCause.h"

#include <QString>
#include <QUrl>
#include <cstring>

#include "guide/GuideError.h"
#include "http/WinInet.h"

using namespace platform;

std::string DownloadCause(std::uint32_t error, int status, const std::string& host) {
    const std::string server = "服务器 " + host;
    switch (error) {
    case 0:
        break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return "找不到服务器 " + host;
    case ERROR_INTERNET_CANNOT_CONNECT:
        return server + " 没有应答";
    case ERROR_INTERNET_TIMEOUT:
        return server + " 超时：太久没有收到数据";
    case ERROR_INTERNET_INVALID_CA:
        return server + " 的证书不受信任";
    case ERROR_HTTP_REDIRECT_FAILED:
        return server + " 的转向无法跟随";
    case ERROR_INTERNET_INVALID_URL:
        return "地址无效";
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return "已取消";
    default:
        return "与" + server + " 的连接中断";
    }
    if (status != 0 && status != 200) return server + " 回答 HTTP " + std::to_string(status);
    return server + " 发来的数据不完整";
}

std::string GuideCause(const guide::EGuideError& e) {
    using guide::EGuideError;
    switch (e.cause) {
    case EGuideError::ceEmpty:
        return "节目源是空的";
    case EGuideError::ceXml:
        return "节目表第 " + std::to_string(e.line) + " 行第 " + std::to_string(e.column) +
               " 列有误（" + e.detail + "）";
    case EGuideError::ceGzipDamaged:
        return "节目表的 gzip 压缩数据已损坏";
    case EGuideError::ceGzipCut:
        return "节目表的 gzip 压缩数据不完整";
    case EGuideError::ceTooLarge:
        return "节目表超过 " + std::to_string(guide::MaxGuideBytes >> 20) + " MB，不像是节目表";
    case EGuideError::ceBomb:
        return "节目表解压后异常庞大，不像是节目表";
    case EGuideError::ceLongText:
        return "节目表第 " + std::to_string(e.line) + " 行的节目名称过长";
    case EGuideError::ceTooMany:
        return "节目表这一周的节目过多";
    case EGuideError::ceNoProgramme:
        if (!e.lastDay.isValid()) return "节目表中没有节目";
        return "节目表中没有今天起七天内的节目（最后一天是 " +
               e.lastDay.toString(Qt::ISODate).toStdString() + "）";
    }
    return e.what();
}

std::string FileCause(const std::string& path, int error) {
    return "无法读取文件 " + path + "（" + std::strerror(error) + "）";
}

std::string HostOfUrl(const std::string& url) {
    return QUrl(QString::fromStdString(url)).host().toStdString();
}
