// The rows of the search dialog's result list. The worker hands rows over in
// batches, one station (or part of one) at a time; the model keeps the batches
// as they came, without a copy per row, and works a row's columns out only
// when the view asks for them, so that a key matching every programme line of
// a large schedule costs little more than a rare one.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "U_MainFun.h"
#include "platform/CodePage.h"

// The matching rows of one station, sent from the worker to the dialog at once.
struct TSearchBatch {
    struct TSpan {
        std::uint32_t At = 0, Size = 0;
    };
    struct TRow {
        TSpan Date, Weekday, Line;
    };

    std::string Station; // StationName up to its first zero byte (GBK)
    std::string Bytes;   // the texts the rows' spans point into
    std::vector<TRow> Rows;

    // Adds the row of a matching programme line; the rows under one date line
    // share its date and weekday texts.
    void Add(const TStationRowReader& reader, std::string_view line);
    std::string_view Text(TSpan span) const {
        return std::string_view(Bytes).substr(span.At, span.Size);
    }

private:
    TSpan Append(std::string_view text);
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

    // Rows [first, first + count) of batch join the model unseen; Publish
    // shows everything staged since the last Publish as one insertion, which
    // the view handles far faster than many small ones.
    void Stage(TSearchBatchPtr batch, int first, int count);
    void Publish();
    void Clear();

    // A shown row's column as GBK bytes: the station's name, Date, Weekday,
    // Time or Title.
    std::string_view Text(int row, TColumn column) const;

private:
    struct TSegment {
        TSearchBatchPtr Batch;
        int First; // the segment's first row in the batch
        int Start; // its first row in the model
    };
    const TSegment& SegmentOf(int row) const;

    std::vector<TSegment> segments;
    int staged = 0; // rows held, shown or not
    int shown = 0;  // rows the view knows of
    mutable platform::GbkDecoder decode;
};
