#include "U_MainFunGui.h"

#include "platform/CodePage.h"

void LoadStationList(TScheduleObject& schedule, QListWidget* names, QListWidget* offsets) {
    std::vector<TStationEntry> stations = ReadStationIndex(schedule);
    offsets->clear();
    names->clear();
    platform::GbkDecoder decode;
    for (const TStationEntry& station : stations) {
        offsets->addItem(QString::number(station.Offset));
        auto* item = new QListWidgetItem(decode(station.Name));
        item->setData(GbkNameRole, QByteArray::fromStdString(station.Name));
        names->addItem(item);
    }
}

StationSnapshot TakeStationSnapshot(const QListWidget* names, const QListWidget* offsets) {
    StationSnapshot snapshot;
    int count = std::min(names->count(), offsets->count());
    snapshot.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        snapshot.push_back({names->item(i)->data(GbkNameRole).toByteArray().toStdString(),
                            std::int32_t(offsets->item(i)->text().toLong())});
    return snapshot;
}
