#pragma once

// The station list control. Its model holds the station lines and is their only copy; every
// row is drawn by DrawItem (band mark, right-aligned frequency, " - " name, favourite star,
// stripes, and an inverted look for the station tuned right now). The tuned frequency comes
// through OnGetTuneValue, so the list knows nothing of the window that owns the display.

#include <QImage>
#include <QListView>
#include <QStringList>
#include <functional>

class QStringListModel;

class TStationListBox : public QListView {
    Q_OBJECT
public:
    static constexpr int RowHeight = 16;

    explicit TStationListBox(QWidget* parent = nullptr);

    // The station lines, in list order.
    QStringList Lines() const;
    void SetLines(const QStringList& lines);
    int Count() const;
    QString Line(int index) const;
    void SetLine(int index, const QString& line);
    void AppendLine(const QString& line);
    void DeleteLine(int index);

    // The selected row, -1 when none is.
    int ItemIndex() const;
    void SetItemIndex(int index);

    // The display's tune value; without it no row counts as tuned.
    std::function<int()> OnGetTuneValue;
    std::function<void()> OnDblClick;
    // Space or Enter (as '\r') pressed on the list.
    std::function<void(QChar key)> OnKeyPress;

    // Pictures drawn in the rows, 16 x 16.
    QImage FavouriteImage;
    QImage FMBandImage;
    QImage UKVBandImage;

    // The frequency text a row must have to count as tuned; empty when none is known.
    QString TunedText() const;

    // Draws row `index` into `rect` the way the list shows it.
    void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected,
                  bool focused) const;
    // Row `index` drawn alone into a 24-bit image as wide as the list's rows.
    QImage RowImage(int index, bool selected) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QStringListModel* FModel;
};
