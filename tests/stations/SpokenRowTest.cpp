// The station list as a screen reader reads it: the rows in words, not the file's syntax.
#include "stations/StationList.h"
#include "stations/StationListBox.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <gtest/gtest.h>

namespace {

TEST(SpokenRow, SaysFrequencyBandAndName) {
    const QString favourite = QString(Stations::FavouriteMarker) + "Новости";
    const struct {
        QString line;
        const char* spoken;
    } cases[] = {
        {"101.7=Новости", "101.7 МГц — Новости"},
        {"88.0=", "88.0 МГц — без названия"},
        {"70.0=Юность", "70.0 МГц УКВ — Юность"},
        {"70.0=  ", "70.0 МГц УКВ — без названия"},
        {"101.7=" + favourite, "101.7 МГц — Новости"},
        {"95.5=a=b", "95.5 МГц — a=b"},
        // A line the program never writes shows no frequency and is read so.
        {"just text", "just text"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Stations::SpokenRow(c.line).toStdString(), c.spoken) << c.line.toStdString();
}

TEST(SpokenRow, ListItemsReadInWordsWhileTheLinesStayAsStored) {
    TStationListBox list;
    list.resize(200, 100);
    list.SetLines({"101.7=Новости", "70.0="});
    EXPECT_EQ(list.Lines(), QStringList({"101.7=Новости", "70.0="}));
    const QModelIndex row = list.model()->index(1, 0);
    EXPECT_EQ(row.data(Qt::AccessibleTextRole).toString().toStdString(),
              "70.0 МГц УКВ — без названия");
    EXPECT_EQ(row.data(Qt::DisplayRole).toString(), "70.0=");

    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::List);
    ASSERT_EQ(face->childCount(), 2);
    EXPECT_EQ(face->child(0)->text(QAccessible::Name).toStdString(), "101.7 МГц — Новости");
}

} // namespace
