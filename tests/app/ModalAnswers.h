#pragma once

#include "stations/UnitStation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

// Answers the modal windows the program opens, one queued answer per window, in order.
class TModalAnswers {
public:
    TModalAnswers() {
        FTimer.setInterval(2);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
        FTimer.start();
    }

    void Dialog(const QString& freq, const QString& name, bool ok = true) {
        FAnswers.push_back([=, this](QWidget* w) {
            auto* dialog = qobject_cast<TFormStation*>(w);
            ASSERT_NE(dialog, nullptr);
            Prefilled.append(dialog->EditFreq->text() + "|" + dialog->EditName->text());
            dialog->EditFreq->setText(freq);
            dialog->EditName->setText(name);
            (ok ? dialog->BitBtn1 : dialog->BitBtn2)->click();
        });
    }

    // whileShown runs while the box is up, before the answer; true: it answered the box itself.
    void Message(QMessageBox::StandardButton answer = QMessageBox::Ok,
                 std::function<bool(QMessageBox*)> whileShown = {}) {
        FAnswers.push_back([=, this](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            Messages.append(box->windowTitle() + "|" + box->text());
            Icons.push_back(box->icon());
            if (!whileShown || !whileShown(box))
                box->button(answer)->click();
        });
    }

    bool AllUsed() const { return FAnswers.empty(); }

    QStringList Prefilled;
    QStringList Messages;
    std::vector<QMessageBox::Icon> Icons;
    int Unexpected = 0;

private:
    void Tick() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        if (FAnswers.empty()) {
            // Never leave a test hanging on a window nobody expected.
            ++Unexpected;
            if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->reject();
            return;
        }
        auto answer = std::move(FAnswers.front());
        FAnswers.pop_front();
        answer(w);
    }

    QTimer FTimer;
    std::deque<std::function<void(QWidget*)>> FAnswers;
};
