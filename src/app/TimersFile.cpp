#include "TimersFile.h"

#include "IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString SleepSection = QStringLiteral("sleep");
const QString WakeUpSection = QStringLiteral("wakeup");
const QString RecordingPrefix = QStringLiteral("record");

// The keys the program writes for each kind of entry, in the order it writes them; any other
// key of the section is the user's and stays.
const QStringList WakeUpKeys = {QStringLiteral("enabled"),   QStringLiteral("start"),
                                QStringLiteral("time"),      QStringLiteral("days"),
                                QStringLiteral("frequency"), QStringLiteral("volume")};
const QStringList RecordingKeys = {QStringLiteral("frequency"), QStringLiteral("start"),
                                   QStringLiteral("time"), QStringLiteral("days"),
                                   QStringLiteral("duration")};

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool HasSection(const TIniFile& ini, const QString& section) {
    const QStringList sections = ini.Sections();
    return std::any_of(sections.begin(), sections.end(),
                       [&section](const QString& name) { return SameName(name, section); });
}

// The entry's keys in the program's order, in one write that also removes the program's keys
// the entry no longer has.
void WriteEntry(TIniFile& ini, const QString& section, const TTimerSection& entry,
                const QStringList& order) {
    QList<std::pair<QString, QString>> values;
    QStringList erase;
    for (const QString& key : order) {
        if (entry.contains(key))
            values.append({key, entry.value(key)});
        else
            erase += key;
    }
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        if (!order.contains(it.key()))
            values.append({it.key(), it.value()});
    }
    ini.UpdateSection(section, values, erase);
}

} // namespace

QString TimersFilePath(const QString& settingsPath) {
    return QFileInfo(settingsPath).dir().filePath(QStringLiteral("orvalen-timers.ini"));
}

bool IsRecordingSection(const QString& section) {
    const qsizetype digits = section.size() - RecordingPrefix.size();
    return digits > 0 && section.startsWith(RecordingPrefix, Qt::CaseInsensitive) &&
           std::all_of(section.end() - digits, section.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

TTimersFile ReadTimersFile(const QString& path) {
    const TIniFile ini(path);
    const QString fileName = QFileInfo(path).fileName();
    TTimersFile timers;
    if (!ini.NotReadReason().isEmpty())
        timers.Problems += fileName + QStringLiteral(": ") + ini.NotReadReason();
    for (const QString& section : ini.Sections()) {
        const TTimerSection keys = ini.ReadSection(section);
        QString error;
        if (SameName(section, SleepSection)) {
            if (const std::optional<int> minutes = ReadSleepMinutes(keys, error))
                timers.SleepMinutes = *minutes;
        } else if (SameName(section, WakeUpSection)) {
            timers.WakeUp = ReadWakeUp(keys, error);
        } else if (IsRecordingSection(section)) {
            if (std::optional<TRecordingTimer> recording = ReadRecording(keys, error))
                timers.Recordings.emplace_back(section, std::move(*recording));
        }
        if (!error.isEmpty())
            timers.Problems += QStringLiteral("%1 [%2]: %3").arg(fileName, section, error);
    }
    return timers;
}

void WriteSleepMinutes(const QString& path, int minutes) {
    TIniFile ini(path);
    WriteEntry(ini, SleepSection, {{QStringLiteral("minutes"), QString::number(minutes)}},
               {QStringLiteral("minutes")});
}

void WriteWakeUp(const QString& path, const TWakeUp& wakeUp) {
    TIniFile ini(path);
    WriteEntry(ini, WakeUpSection, WriteWakeUp(wakeUp), WakeUpKeys);
}

QString AddRecording(const QString& path, const TRecordingTimer& recording) {
    TIniFile ini(path);
    quint64 number = 0;
    for (const QString& section : ini.Sections()) {
        bool ok = false;
        const quint64 taken = IsRecordingSection(section)
                                  ? section.sliced(RecordingPrefix.size()).toULongLong(&ok)
                                  : 0;
        if (ok)
            number = std::max(number, taken);
    }
    // The next number can be in use only when a hand-made one wrapped it past 64 bits.
    QString section;
    do
        section = RecordingPrefix + QString::number(++number);
    while (HasSection(ini, section));
    WriteEntry(ini, section, WriteRecording(recording), RecordingKeys);
    return section;
}

void ReplaceRecording(const QString& path, const QString& section,
                      const TRecordingTimer& recording) {
    TIniFile ini(path);
    // A file that was not read refuses the write below with its own reason.
    if (ini.NotReadReason().isEmpty() &&
        (!IsRecordingSection(section) || !HasSection(ini, section)))
        throw EIniFileError(
            QStringLiteral("Unable to write to %1: there is no [%2]").arg(path, section));
    WriteEntry(ini, section, WriteRecording(recording), RecordingKeys);
}

void RemoveRecording(const QString& path, const QString& section) {
    if (IsRecordingSection(section))
        TIniFile(path).EraseSection(section);
}
