#include "StationListBox.h"

#include "StationList.h"
#include "controls/SharpPicture.h"
#include "controls/WindowFont.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStringListModel>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

class TStationRowDelegate : public QStyledItemDelegate {
public:
    explicit TStationRowDelegate(TStationListBox* list) : QStyledItemDelegate(list), FList(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        FList->DrawItem(*painter, index.row(), option.rect,
                        option.state.testFlag(QStyle::State_Selected),
                        option.state.testFlag(QStyle::State_HasFocus));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), TStationListBox::RowHeight};
    }

private:
    TStationListBox* FList;
};

// 16 less in each channel; a channel already below 16 stays at 0 rather than borrowing
// from its neighbour, so dark backgrounds still get a plain darker stripe.
QColor Darker16(const QColor& c) {
    return QColor(std::max(c.red() - 16, 0), std::max(c.green() - 16, 0),
                  std::max(c.blue() - 16, 0));
}

// The colour greyed-out text has on the list: the palette's placeholder colour laid over the
// list's background (a plain mid grey on a white list).
QColor GreyText(const QPalette& pal) {
    const QColor grey = pal.color(QPalette::Active, QPalette::PlaceholderText);
    const QColor base = pal.color(QPalette::Active, QPalette::Base);
    const double a = grey.alphaF();
    auto mix = [a](int over, int under) { return qRound(over * a + under * (1 - a)); };
    return QColor(mix(grey.red(), base.red()), mix(grey.green(), base.green()),
                  mix(grey.blue(), base.blue()));
}

// The part of a text that can show in `width` pixels: laying out a line of hundreds of
// thousands of characters only to clip it would stall every repaint.
QString Visible(const QString& text, int width) {
    return text.left(4 * qMax(width, 0) + 4);
}

// The lines as the list holds them; a screen reader gets each row in words instead of the
// file's "frequency=name".
class TStationLinesModel : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::AccessibleTextRole && index.isValid())
            return Stations::SpokenRow(QStringListModel::data(index, Qt::DisplayRole).toString());
        return QStringListModel::data(index, role);
    }
};

} // namespace

TStationListBox::TStationListBox(QWidget* parent)
    : QListView(parent), FModel(new TStationLinesModel(this)) {
    setModel(FModel);
    setItemDelegate(new TStationRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont listFont = WindowFont(13);
    // The rows have always been drawn with a bitmap face: crisp, in exactly the row colours.
    // The scalable face that stands in for it on high-density screens keeps that look.
    listFont.setStyleStrategy(QFont::NoAntialias);
    setFont(listFont);
}

QStringList TStationListBox::Lines() const {
    return FModel->stringList();
}

void TStationListBox::SetLines(const QStringList& lines) {
    FModel->setStringList(lines);
}

int TStationListBox::Count() const {
    return FModel->rowCount();
}

QString TStationListBox::Line(int index) const {
    return FModel->data(FModel->index(index), Qt::DisplayRole).toString();
}

void TStationListBox::SetLine(int index, const QString& line) {
    FModel->setData(FModel->index(index), line, Qt::DisplayRole);
}

void TStationListBox::AppendLine(const QString& line) {
    const int row = FModel->rowCount();
    FModel->insertRows(row, 1);
    FModel->setData(FModel->index(row), line, Qt::DisplayRole);
}

void TStationListBox::DeleteLine(int index) {
    FModel->removeRows(index, 1);
    // A deleted row leaves nothing selected, so a second delete cannot hit its neighbour.
    selectionModel()->clearSelection();
}

int TStationListBox::ItemIndex() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TStationListBox::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        selectionModel()->clearSelection();
        return;
    }
    setCurrentIndex(FModel->index(index));
}

QString TStationListBox::TunedText() const {
    return OnGetTuneValue ? Stations::FrequencyText(OnGetTuneValue()) : QString();
}

void TStationListBox::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected,
                               bool focused) const {
    const QString line = Line(index);
    const QString freq = Stations::FrequencyTextOf(line);
    const QString name = Stations::NameOf(line);
    const QPalette& pal = palette();

    QColor background;
    QColor text;
    if (selected) {
        background = pal.color(QPalette::Active, QPalette::Highlight);
        text = pal.color(QPalette::Active, QPalette::HighlightedText);
    } else {
        background = pal.color(QPalette::Active, QPalette::Base);
        if (index % 2 == 0)
            background = Darker16(background);
        text = pal.color(QPalette::Active, QPalette::Text);
        if (!freq.isEmpty() && freq == TunedText()) {
            text = background;
            background = GreyText(pal);
        }
    }

    painter.save();
    painter.setFont(font());
    painter.fillRect(rect, background);
    const int left = rect.left();
    const int top = rect.top();
    const QImage& band = Stations::HasFMBandMark(freq) ? FMBandImage : UKVBandImage;
    if (!band.isNull())
        DrawSharpImage(painter, QPoint(left, top), band);

    painter.setPen(text);
    const int columnRight =
        left + 16 + painter.fontMetrics().horizontalAdvance(QStringLiteral("0000.0"));
    // Right-aligned: what shows of an overlong text is its end.
    const int columnWidth = columnRight - (left + 16);
    painter.drawText(QRect(QPoint(left + 16, top), QPoint(columnRight - 1, rect.bottom())),
                     Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                     freq.size() > 4 * columnWidth + 4 ? freq.right(4 * columnWidth + 4) : freq);
    const QRect nameRect(QPoint(columnRight + 5, top), rect.bottomRight());
    painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral(" - ") +
                         Visible(Stations::DisplayName(name), nameRect.width()));
    if (Stations::IsFavouriteName(name) && !FavouriteImage.isNull())
        DrawSharpImage(painter, QPoint(rect.right() + 1 - 16, top), FavouriteImage);

    if (focused) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = rect;
        frame.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
    }
    painter.restore();
}

QImage TStationListBox::RowImage(int index, bool selected) const {
    // Painting into RGB32 and converting is much faster than painting into 24 bits.
    QImage image(viewport()->width(), RowHeight, QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Active, QPalette::Base));
    {
        QPainter painter(&image);
        DrawItem(painter, index, image.rect(), selected, false);
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

void TStationListBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (OnKeyPress)
            OnKeyPress(key == Qt::Key_Space ? QChar(u' ') : QChar(u'\r'));
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void TStationListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (OnDblClick)
        OnDblClick();
}
