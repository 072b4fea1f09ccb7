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
#include "schedule/U_MainFunSearch.h"

// The matching rows of one station, sent from the worker to the dialog at
// once, with copies of every text they show, in one allocation of its own.
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
    TSearchBatch(std::string station, const TStationMatches& found, std::string_view text);
    std::string_view Text(TSpan span) const { return Bytes.substr(span.At, span.Size); }

    std::string Station;    // StationName up to its first zero byte (GBK)
    std::string_view Bytes; // the texts the spans point into
    std::span<const TDay> Days;
    std::span<const TRow> Rows;

private:
    std::unique_ptr<char[]> room; // the rows, the days, then the texts
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
