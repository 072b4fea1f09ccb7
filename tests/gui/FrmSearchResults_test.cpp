// The search result rows: batches made from a station's matches, and the
// model that shows them in steps.
#include <gtest/gtest.h>

#include "gui/U_FrmSearchResults.h"
#include "platform/CodePage.h"

namespace {

using C = TSearchResultModel;

std::string Gbk(const char* utf8) {
    return platform::QStringToGbk(QString::fromUtf8(utf8));
}

// Two days; every programme line holds ":", only some hold "x".
const std::string Text = Gbk("05/03/14 星期一\r\n08:00 新闻 x\r\n09:00 天气\r\n"
                             "05/03/15 星期二\r\n10:00 体育\r\n11:00 电影 x\r\n");

TSearchBatchPtr Batch(const std::string& station, const std::string& key) {
    TStationMatches found;
    SearchStationText(Text, TKeyFinder(key), found);
    return std::make_shared<const TSearchBatch>(station, found, Text);
}

std::vector<std::string> Row(const TSearchResultModel& model, int row) {
    std::vector<std::string> cells;
    for (int c = 0; c < C::ColumnCount; ++c)
        cells.emplace_back(model.Text(row, C::TColumn(c)));
    return cells;
}

// Rows covering most of the text take it in one copy, scattered rows their
// lines one by one; either way every column reads back.
TEST(SearchBatch, KeepsEveryTextItsRowsShow) {
    for (const char* key : {":", "x"}) {
        SCOPED_TRACE(key);
        TSearchBatchPtr batch = Batch("A", key);
        ASSERT_EQ(batch->Days.size(), 2u);
        TSearchResultModel model;
        model.Stage(batch);
        model.Publish(100);
        ASSERT_EQ(model.rowCount(), std::string(key) == ":" ? 4 : 2);
        EXPECT_EQ(Row(model, 0), (std::vector<std::string>{"A", "2005-03-14", Gbk("星期一"),
                                                           "08:00", Gbk("新闻 x")}));
        EXPECT_EQ(
            Row(model, model.rowCount() - 1),
            (std::vector<std::string>{"A", "2005-03-15", Gbk("星期二"), "11:00", Gbk("电影 x")}));
        // The dates and weekdays, then one stretch from the first row to the
        // last, or only the matching lines.
        const std::size_t days = 2 * (10 + 6);
        const std::size_t stretch = Text.rfind("\r\n") - Text.find("08:00");
        const std::size_t lines = 2 * Gbk("08:00 新闻 x").size();
        EXPECT_EQ(batch->Bytes.size(), days + (std::string(key) == ":" ? stretch : lines));
    }
}

// Large batches keep copies of their rows: the texts they came from are gone.
TEST(SearchBatch, LargeBatchesOutliveTheirTexts) {
    std::vector<TSearchBatchPtr> batches;
    for (int lines : {150'000, 150'000, 300'000}) { // 3, 3 and 6 MB of rows and text
        std::string text = "05/03/14 " + Gbk("星期一") + "\r\n";
        for (int i = 0; i < lines; ++i)
            text += "08:00 " + std::to_string(i) + "\r\n";
        TStationMatches found;
        SearchStationText(text, TKeyFinder(":"), found);
        batches.push_back(std::make_shared<const TSearchBatch>("A", found, text));
        text.assign(text.size(), 'x');
    }
    TSearchResultModel model;
    for (const TSearchBatchPtr& batch : batches)
        model.Stage(batch);
    model.Publish(1'000'000);
    ASSERT_EQ(model.rowCount(), 600'000);
    for (int row : {0, 149'999, 150'000, 299'999, 300'000, 599'999})
        EXPECT_EQ(model.Text(row, C::colTitle),
                  std::to_string(row < 300'000 ? row % 150'000 : row - 300'000))
            << row;
    EXPECT_EQ(model.Text(599'999, C::colDate), "2005-03-14");
}

TEST(SearchResultModel, ShowsStagedRowsOnlyWhenPublished) {
    TSearchResultModel model;
    std::vector<std::pair<int, int>> inserted; // first and last row of each insertion
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) {
                         inserted.push_back({first, last});
                     });
    model.Stage(Batch("A", ":"));
    model.Stage(Batch("B", "x"));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.Unpublished(), 6);
    EXPECT_TRUE(model.Text(0, C::colStation).empty()); // not shown yet

    model.Publish(5); // ends inside the second batch
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0], std::make_pair(0, 4));
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.Text(3, C::colStation), "A");
    EXPECT_EQ(model.Text(4, C::colStation), "B");
    EXPECT_EQ(model.Text(4, C::colTitle), Gbk("新闻 x"));
    EXPECT_EQ(model.index(4, 0).data().toString(), QStringLiteral("B"));
    EXPECT_EQ(model.index(4, 2).data().toString(), QStringLiteral("星期一"));

    model.Publish(5);
    ASSERT_EQ(inserted.size(), 2u);
    EXPECT_EQ(inserted[1], std::make_pair(5, 5));
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.Unpublished(), 0);
    model.Publish(5); // nothing left: no insertion
    EXPECT_EQ(inserted.size(), 2u);

    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.Unpublished(), 0);
}

} // namespace
