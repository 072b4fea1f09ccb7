// Favourites in the station list: marked, drawn with a star, and listed
// first in their own order, the other stations after them in file order.
#pragma once

#include <QListWidget>
#include <QStringList>

class QPainter;

// lbTvSets items: whether the station is a favourite, and its place in the
// file's index (set by the first ArrangeStations after LoadStationList).
inline constexpr int FavouriteRole = Qt::UserRole + 1;
inline constexpr int FileOrderRole = Qt::UserRole + 2;

// Puts the favourites first, in the order of favourites (every station of a
// name that is one), then the others in file order; lbPos follows entry for
// entry. With no favourites the lists are in file order, as loaded. The
// selection is not kept: the caller selects again.
void ArrangeStations(QListWidget* names, QListWidget* offsets, const QStringList& favourites);

// The favourite's star at the right end of an entry, on a patch of the
// entry's own background, so that it is seen whatever the name beneath.
void DrawFavouriteMark(QPainter* canvas, const QRect& entry, bool selected);
