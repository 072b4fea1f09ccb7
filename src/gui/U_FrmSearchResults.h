// The rows of the search dialog's result list. The worker hands rows over in
// batches, one station (or part of one) at a time; the model keeps the batches
// as they came, without a copy per row, and works a row's columns out only
// when the view asks for them, so that a key matching every programme line of
// a large schedule costs little more than a rare one.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CodePage.h"
#include "platform/LargeBlock.h"
#include "schedule/U_MainFunSearch.h"

// Room for the result rows of one search, taken from the system a large block
// at a time (in huge pages where it has them): a key in every programme line
// keeps about as many bytes as the schedule holds, and in 4 KB pages each
// page would cost a fault when it is first written. Used by one thread.
// What it buys: with a string and vectors per batch instead, a search of ":"
// over 3,000 stations (2.5 million rows) faults some 23,000 pages, and the
// search core beyond the matcher takes 58 ms instead of 25 (search_bench
// Search/EveryLine less Matcher/EveryLine), which puts the dialog past its
// 150 ms for every line.
class TSearchStore {
public:
    struct TRoom {
        char* Data;                 // size bytes, aligned for any row
        std::shared_ptr<void> Keep; // they stay while this does
    };
    TRoom Take(std::size_t size);

private:
    static constexpr std::size_t BlockSize = std::size_t(4) << 20;
    std::shared_ptr<platform::TLargeBlock> block;
    std::size_t used = 0;
};

// The matching rows of one station, sent from the worker to the dialog at
// once, with copies of every text they show, in room taken from store.
struct TSearchBatch {
    struct TSpan {
        std::uint32_t At = 0, Size = 0;
    };
    struct TDay {
        TSpan Date, Weekday;
    };
    struct TRow {
        TSpan Line;
        std::uint32_t Day; // index into Days
    };

    // The rows of found, whose lines point into text.
    TSearchBatch(std::string station, const TStationMatches& found, std::string_view text,
                 TSearchStore& store);
    std::string_view Text(TSpan span) const { return Bytes.substr(span.At, span.Size); }

    std::string Station;    // StationName up to its first zero byte (GBK)
    std::string_view Bytes; // the texts the spans point into
    std::span<const TDay> Days;
    std::span<const TRow> Rows;

private:
    std::shared_ptr<void> keep; // the store's block they are in
};
using TSearchBatchPtr = std::shared_ptr<const TSearchBatch>;

class TSearchResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colStation, colDate, colWeekday, colTime, colTitle, ColumnCount };

    explicit TSearchResultModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The rows of batch join the model unseen; Publish tells the view of up
    // to maxRows of them as one insertion. The view's cost of an insertion
    // grows with all the rows it holds, so rows are best published in large
    // steps.
    void Stage(TSearchBatchPtr batch);
    void Publish(int maxRows);
    int Unpublished() const { return staged - shown; }
    void Clear();

    // A shown row's column as GBK bytes: the station's name, Date, Weekday,
    // Time or Title.
    std::string_view Text(int row, TColumn column) const;

private:
    struct TSegment {
        TSearchBatchPtr Batch;
        int Start; // its first row in the model
    };
    const TSegment& SegmentOf(int row) const;

    std::vector<TSegment> segments;
    int staged = 0; // rows held, shown or not
    int shown = 0;  // rows the view knows of
    mutable platform::GbkDecoder decode;
};
