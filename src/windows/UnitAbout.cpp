#include "UnitAbout.h"

#include "controls/Pictures.h"
#include "controls/WindowFont.h"
#include "platform/system/VersionInfo.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

namespace {

// The active caption's gradient colour of the classic desktop scheme.
const QColor kGradientActiveCaption(185, 209, 234);

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text, const char* family,
                  int pixelHeight) {
    auto* label = new QLabel(text, parent);
    if (family != nullptr) {
        QFont font(QString::fromLatin1(family));
        font.setPixelSize(pixelHeight);
        label->setFont(font);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TFormAbout::TFormAbout(QWidget* owner, const QString& versionFile)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(330, 226);
    setFont(WindowFont(11));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kGradientActiveCaption);
    setPalette(palette);
    setAutoFillBackground(true);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 8, 313, 209);
    Panel1 = new QFrame(GroupBox1);
    Panel1->setGeometry(8, 16, 114, 128);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Image1 = new QLabel(Panel1);
    Image1->setPixmap(QPixmap::fromImage(Pictures::AboutPicture()));
    Image1->setGeometry(2, 2, 110, 124);

    Label1 = MakeLabel(GroupBox1, 152, 24, QStringLiteral("Orvalen USB"), "Times New Roman", 19);
    Label2 = MakeLabel(GroupBox1, 144, 64, QStringLiteral("STM32F103C8T6 + TEA5767"),
                       "Times New Roman", 13);
    Label5 = MakeLabel(GroupBox1, 144, 88, QStringLiteral("STM32F103C8T6 + RDA5807"),
                       "Times New Roman", 13);
    LabelVersion = MakeLabel(GroupBox1, 144, 120, QString(), nullptr, 0);
    // The labels read as their texts; the picture has none of its own.
    Image1->setAccessibleName(tr("Изображение"));

    // A click anywhere closes the window, on the children as on the window itself.
    for (QWidget* child : {static_cast<QWidget*>(GroupBox1), static_cast<QWidget*>(Panel1),
                           static_cast<QWidget*>(Image1), static_cast<QWidget*>(Label1),
                           static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label5),
                           static_cast<QWidget*>(LabelVersion)})
        child->installEventFilter(this);

    FormCreate(versionFile);
}

void TFormAbout::FormCreate(const QString& versionFile) {
    const QString file =
        versionFile.isEmpty() ? QCoreApplication::applicationFilePath() : versionFile;
    const std::string version = GetVersionString(file.toStdString());
    LabelVersion->setText(tr("Версия приложения: %1").arg(QString::fromStdString(version)));
    LabelVersion->adjustSize();
}

void TFormAbout::keyPressEvent(QKeyEvent*) {
    FormClick(); // any key, a modifier alone included
}

void TFormAbout::mousePressEvent(QMouseEvent*) {
    FormClick();
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        FormClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}
