#include "SampleSchedule.h"

#include <QString>
#include <ctime>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/CodePage.h"

namespace {

const char* const Regions[] = {"北京", "上海",   "天津", "重庆", "广东", "湖南", "浙江", "江苏",
                               "山东", "四川",   "湖北", "河南", "河北", "福建", "安徽", "辽宁",
                               "吉林", "黑龙江", "云南", "贵州", "广西", "江西", "山西", "陕西"};
const char* const Channels[] = {"卫视",     "新闻频道", "影视频道", "体育频道", "少儿频道",
                                "经济频道", "都市频道", "公共频道", "综艺频道", "教育频道"};
const char* const Shows[] = {
    "新闻联播", "天气预报", "朝闻天下", "焦点访谈", "今日说法",     "动物世界",   "人与自然",
    "体育新闻", "足球之夜", "综艺大观", "曲苑杂坛", "正大综艺",     "经济半小时", "法治在线",
    "健康之路", "百家讲坛", "探索发现", "走近科学", "东方时空",     "新闻30分",   "晚间新闻",
    "午夜剧场", "中华医药", "海峡两岸", "国宝档案", "舌尖上的中国", "快乐大本营", "财经报道"};
const char* const Dramas[] = {"还珠格格", "西游记",     "红楼梦",       "三国演义",
                              "水浒传",   "射雕英雄传", "天龙八部",     "神雕侠侣",
                              "大宅门",   "渴望",       "编辑部的故事", "宰相刘罗锅",
                              "亮剑",     "士兵突击",   "家有儿女",     "武林外传"};
const char* const Weekdays[] = {"星期一", "星期二", "星期三", "星期四",
                                "星期五", "星期六", "星期日"};

std::string Gbk(const QString& text) {
    return platform::QStringToGbk(text);
}
template <std::size_t N> const char* Pick(const char* const (&list)[N], std::mt19937& rng) {
    return list[rng() % N];
}

std::string Title(std::mt19937& rng) {
    switch (rng() % 4) {
    case 0:
        return QString("电视剧：%1（第%2集）")
            .arg(Pick(Dramas, rng))
            .arg(rng() % 40 + 1)
            .toStdString();
    case 1:
        return QString("%1(重播)").arg(Pick(Shows, rng)).toStdString();
    default:
        return Pick(Shows, rng);
    }
}

} // namespace

void ThisWeeksMonday(TSampleOptions& options) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_mday -= (tm.tm_wday + 6) % 7;
    tm.tm_hour = 12;
    std::mktime(&tm);
    options.year = tm.tm_year + 1900;
    options.month = tm.tm_mon + 1;
    options.day = tm.tm_mday;
}

std::string SampleStationName(const TSampleOptions& options, int index) {
    constexpr int Combos = int(std::size(Regions) * std::size(Channels));
    int k = index % Combos;
    QString name =
        QString("%1%2").arg(Regions[k % std::size(Regions)], Channels[k / std::size(Regions)]);
    if (index >= Combos) name += QString::number(index / Combos + 1);
    (void)options;
    return Gbk(name);
}

std::string SampleStationText(const TSampleOptions& options, int index) {
    std::mt19937 rng(options.seed * 7919u + unsigned(index));
    std::string text;
    std::tm day{};
    day.tm_year = options.year - 1900;
    day.tm_mon = options.month - 1;
    day.tm_mday = options.day;
    day.tm_hour = 12;
    for (int d = 0; d < 7; ++d, ++day.tm_mday) {
        std::mktime(&day);
        char date[48];
        std::snprintf(date, sizeof date, "%02d/%02d/%02d ", (day.tm_year % 100 + 100) % 100,
                      day.tm_mon + 1, day.tm_mday);
        text += date + Gbk(Weekdays[d]) + "\r\n";
        int minutes = 6 * 60 + int(rng() % 4) * 5;
        for (int p = 0; p < options.programmesPerDay; ++p) {
            char time[32];
            std::snprintf(time, sizeof time, "%02d:%02d ", (minutes / 60) % 24, minutes % 60);
            text += time + Gbk(QString::fromStdString(Title(rng))) + "\r\n";
            minutes += 15 + int(rng() % 6) * 5;
        }
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> WriteSampleStations(const std::string& folder,
                                             const TSampleOptions& options) {
    std::vector<std::string> names;
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    for (int i = 0; i < options.stations; ++i) {
        names.push_back(SampleStationName(options, i));
        std::string native = platform::GbkToUtf8(names.back());
        const std::string path = dir + native + ".txt";
        std::ofstream out(path, std::ios::binary);
        std::string text = SampleStationText(options, i);
        out.write(text.data(), std::streamsize(text.size()));
        out.close();
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    return names;
}
