#pragma once

#include "FileBytes.h"
#include "app/AudioChain.h"
#include "app/UnitMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// An audio chain that remembers what the main window told it, in order.
class TRecordingAudioChain : public TIdleAudioChain {
public:
    explicit TRecordingAudioChain(std::vector<std::string>* log) : FLog(log) {}
    QStringList InDeviceNames() const override {
        ++FInListings;
        return {"Line In"};
    }
    QStringList OutDeviceNames() const override { return {"Speakers", "Headphones"}; }
    void SetInEnabled(bool enabled) override {
        TIdleAudioChain::SetInEnabled(enabled);
        FLog->push_back(std::string("in ") + (enabled ? "on" : "off"));
    }
    void SetOutEnabled(bool enabled) override {
        TIdleAudioChain::SetOutEnabled(enabled);
        FLog->push_back(std::string("out ") + (enabled ? "on" : "off"));
    }

    mutable int FInListings = 0; // how often the capture devices were enumerated

private:
    std::vector<std::string>* FLog;
};

// A main window over a settings folder of its own.
class MainFormTest : public ::testing::Test {
protected:
    QString SettingsPath() const { return FDir.filePath("orvalen.ini"); }

    void WriteSettings(const QByteArray& text) {
        QFile file(SettingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray ReadSettings() const {
        QFile file(SettingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The window without a tuner, or over a virtual tuner of the model given.
    TMainForm& Start(const QString& simulatedModel = {}) {
        TCommandLine line;
        line.ConfigDir = FDir.path();
        if (!simulatedModel.isEmpty()) {
            line.Simulate = true;
            line.SimulateModel = simulatedModel;
        }
        auto audio = std::make_unique<TRecordingAudioChain>(&FAudioLog);
        FAudio = audio.get();
        FForm = std::make_unique<TMainForm>(line, nullptr, std::move(audio));
        return *FForm;
    }

    QTemporaryDir FDir;
    std::vector<std::string> FAudioLog;
    TRecordingAudioChain* FAudio = nullptr;
    std::unique_ptr<TMainForm> FForm;
};
