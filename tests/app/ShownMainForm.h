#pragma once

// The real main window shown and active over the virtual tuner, with the windows the program
// gives it (equalizer, About, options), for tests that use it as a user does.
#include "MainFormFixture.h"
#include "WaitFor.h"
#include "app/Forms.h"
#include "app/OptionsHost.h"
#include "equalizer/UnitEqualizer.h"
#include "windows/OptionsUnit.h"
#include "windows/UnitAbout.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <string>

class ShownMainFormTest : public MainFormTest {
protected:
    void TearDown() override {
        FForm.reset(); // owns the other windows
        FormEqualizer = nullptr;
        FormAbout = nullptr;
        OptionsForm = nullptr;
    }

    TMainForm& StartShown(bool simulate = true) {
        TCommandLine line;
        line.ConfigDir = FDir.path();
        line.Simulate = simulate;
        auto audio = std::make_unique<TRecordingAudioChain>(&FAudioLog);
        FAudio = audio.get();
        FForm = std::make_unique<TMainForm>(line, nullptr, std::move(audio));
        FormEqualizer = new TFormEqualizer(FForm.get(), FForm->Audio().GraphicEqualizer1(), {});
        FormAbout = new TFormAbout(FForm.get());
        OptionsForm = CreateOptionsForm(*FForm);
        FForm->show();
        Activate(FForm.get());
        EXPECT_TRUE(!simulate || WaitFor([&] { return FForm->FConnected; }, 10000));
        Settle();
        return *FForm;
    }

    static void Activate(QWidget* window) {
        window->activateWindow();
        EXPECT_TRUE(WaitFor([&] { return window->isActiveWindow(); }, 10000));
    }

    // Lets the virtual tuner's answers arrive.
    static void Settle() {
        WaitFor([] { return false; }, 150);
    }

    // A key pressed and released where the keyboard goes: the focused control, else the
    // active window.
    static void Press(QKeyCombination key, QWidget* target = nullptr) {
        if (!target)
            target = QApplication::focusWidget() ? QApplication::focusWidget()
                                                 : QApplication::activeWindow();
        ASSERT_NE(target, nullptr);
        const QString text = key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z &&
                                     key.keyboardModifiers() == Qt::NoModifier
                                 ? QString(QChar(key.key())).toLower()
                                 : QString();
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers(), text);
        QApplication::sendEvent(target, &release);
    }

    static std::string KeyName(QKeyCombination key) {
        return QKeySequence(key).toString().toStdString();
    }

    // What a screen reader calls the control.
    static std::string Name(QWidget* control) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        return face ? face->text(QAccessible::Name).toStdString() : "(none)";
    }
};
