#pragma once

// Tells when the computer has resumed from suspend: systemd-logind's PrepareForSleep(false)
// on the system bus. Without a system bus it never fires.

#include <QObject>
#include <functional>

class TSleepWatcher : public QObject {
    Q_OBJECT
public:
    explicit TSleepWatcher(QObject* parent = nullptr);

    std::function<void()> OnResume;

public slots:
    void PrepareForSleep(bool start);
};
