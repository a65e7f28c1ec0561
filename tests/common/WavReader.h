#pragma once

// Reads what a recording holds: the fmt and data chunks of a RIFF/WAVE file.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

struct TWav {
    unsigned Channels = 0, Rate = 0, Bits = 0;
    QByteArray Data;
};

// An empty result when the file is not a RIFF/WAVE file.
inline TWav ReadWav(const QString& path) {
    QFile file(path);
    TWav wav;
    if (!file.open(QIODevice::ReadOnly))
        return wav;
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return wav;
    for (qsizetype at = 12; at + 8 <= all.size();) {
        const QByteArray id = all.mid(at, 4);
        const auto size = qFromLittleEndian<quint32>(all.constData() + at + 4);
        const QByteArray body = all.mid(at + 8, qsizetype(size));
        if (id == "fmt " && body.size() >= 16) {
            wav.Channels = qFromLittleEndian<quint16>(body.constData() + 2);
            wav.Rate = qFromLittleEndian<quint32>(body.constData() + 4);
            wav.Bits = qFromLittleEndian<quint16>(body.constData() + 14);
        } else if (id == "data") {
            wav.Data = body;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return wav;
}
