#pragma once

// A group box drawn as the classic etched frame: a shadow line with a light line beside it, the
// caption, if any, breaking the top line at the left. Drawn by hand rather than by the style:
// the usual style draws its group frame from a picture file, and the first such read makes Qt
// open every image-format plug-in it has (about a millisecond and half a megabyte on the
// way to the main window's first frame).

#include <QGroupBox>

class TGroupFrame : public QGroupBox {
public:
    explicit TGroupFrame(const QString& caption, QWidget* parent = nullptr);

    // Where the caption is drawn; empty without one.
    QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
