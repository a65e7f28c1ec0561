#include "controls/AccessibleControls.h"

#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QDialog>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

// A slider with a value: what the bar says through its ValueText, and a value set from
// outside moves the thumb as a drag does, so that a screen reader's user can tune with it.
class TImageTrackBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TImageTrackBarAccessible(TImageTrackBar* bar)
        : QAccessibleWidget(bar, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value)
            return Bar()->ValueText();
        return QAccessibleWidget::text(type);
    }

    QVariant currentValue() const override { return Bar()->Value(Bar()->Position()); }
    void setCurrentValue(const QVariant& value) override {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok)
            Bar()->MoveByUser(Bar()->PositionOfValue(number));
    }
    QVariant maximumValue() const override {
        return std::max(Bar()->Value(Bar()->Min()), Bar()->Value(Bar()->Max()));
    }
    QVariant minimumValue() const override {
        return std::min(Bar()->Value(Bar()->Min()), Bar()->Value(Bar()->Max()));
    }
    QVariant minimumStepSize() const override {
        const int min = Bar()->Min();
        return min < Bar()->Max() ? std::abs(Bar()->Value(min + 1) - Bar()->Value(min)) : 0.0;
    }

private:
    TImageTrackBar* Bar() const { return static_cast<TImageTrackBar*>(widget()); }
};

// The display reads as one line of text; its name is what it shows.
class TOrvalenScreenAccessible : public QAccessibleWidget {
public:
    explicit TOrvalenScreenAccessible(TOrvalenScreen* screen)
        : QAccessibleWidget(screen, QAccessible::StaticText) {}

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Name)
            return static_cast<TOrvalenScreen*>(widget())->ReadingText();
        return QAccessibleWidget::text(type);
    }
};

// A picture button that stays down while its function is on (power, mute, stereo, …): a push
// button that is pressed or not, as screen readers announce such buttons, rather than the
// check box Qt makes of every checkable tool button.
class TToggleButtonAccessible : public QAccessibleWidget {
public:
    explicit TToggleButtonAccessible(QToolButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        state.pressed = Button()->isChecked();
        return state;
    }

    QStringList actionNames() const override {
        return {QAccessibleActionInterface::pressAction(),
                QAccessibleActionInterface::toggleAction()};
    }
    void doAction(const QString& name) override {
        if (name == QAccessibleActionInterface::pressAction() ||
            name == QAccessibleActionInterface::toggleAction())
            Button()->click(); // a disabled button ignores it, as it ignores the mouse
    }

private:
    QToolButton* Button() const { return static_cast<QToolButton*>(widget()); }
};

// A drop-down list is named by the label beside it, as everywhere else, and reads its choice
// as its value. Qt's own interface names it by its choice on Linux and leaves the label to a
// relation, so "Вход" and "Выход" both read "Default". Its popup stays a list of its own.
class TComboBoxAccessible : public QAccessibleWidget {
public:
    explicit TComboBoxAccessible(QComboBox* combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {
        addControllingSignal(QStringLiteral("currentIndexChanged(int)"));
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value)
            return Combo()->currentText();
        return QAccessibleWidget::text(type);
    }

    QStringList actionNames() const override {
        return QStringList{QAccessibleActionInterface::showMenuAction()} +
               QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == QAccessibleActionInterface::showMenuAction())
            Combo()->showPopup();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

// The program's own top-level windows are windows to a screen reader, not anonymous panes.
bool IsOwnPlainWindow(QObject* object) {
    if (!object->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(object);
    return widget->windowType() == Qt::Window && !qobject_cast<QDialog*>(widget) &&
           !QByteArray(widget->metaObject()->className()).startsWith('Q');
}

QAccessibleInterface* ControlsFactory(const QString&, QObject* object) {
    if (auto* combo = qobject_cast<QComboBox*>(object); combo && !combo->isEditable())
        return new TComboBoxAccessible(combo);
    if (auto* button = qobject_cast<QToolButton*>(object); button && button->isCheckable())
        return new TToggleButtonAccessible(button);
    if (auto* bar = qobject_cast<TImageTrackBar*>(object))
        return new TImageTrackBarAccessible(bar);
    if (auto* screen = qobject_cast<TOrvalenScreen*>(object))
        return new TOrvalenScreenAccessible(screen);
    if (IsOwnPlainWindow(object))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void InstallAccessibleControls() {
    static const bool installed = [] {
        QAccessible::installFactory(&ControlsFactory);
        return true;
    }();
    (void)installed;
}
