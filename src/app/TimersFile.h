#pragma once

// The timers file, orvalen-timers.ini beside the settings file, in the settings file's format
// (IniFile.h): [sleep], [wakeup] and one [recordN] section per recording (TimerEntries.h has
// their keys). Users edit it by hand, so the writers change only what they must: lines the
// program does not know stay as they are, and an entry that does not read is reported, never
// dropped or rewritten by a write of another entry.

#include "timers/TimerEntries.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

struct TTimersFile {
    int SleepMinutes = 0;          // [sleep] minutes=; 0 off
    std::optional<TWakeUp> WakeUp; // [wakeup]
    // [record1], [record2], … as the file spells them, in file order.
    std::vector<std::pair<QString, TRecordingTimer>> Recordings;
    // One line per entry that does not read, naming its first bad key, e.g.
    // "orvalen-timers.ini [record2]: start=2026-02-30 19:00"; or why the file was not read.
    QStringList Problems;
};

// The timers file that belongs to the settings file at settingsPath.
QString TimersFilePath(const QString& settingsPath);

// Whether a section holds a recording: "record" and decimal digits, in any letter case.
bool IsRecordingSection(const QString& section);

// A missing file reads as one without timers.
TTimersFile ReadTimersFile(const QString& path);

// Each writes its entry in one write, creating the file when it is missing, and throws
// EIniFileError when the file cannot be written. Writing an entry replaces the keys the
// program writes for it (a recording that became weekly loses start=) and keeps the others.
void WriteSleepMinutes(const QString& path, int minutes);
void WriteWakeUp(const QString& path, const TWakeUp& wakeUp);
// Adds a section numbered one past the highest recording number in the file (record4 after
// record1 and record3), so a new recording does not take the name of one removed before a
// later one; returns its name.
QString AddRecording(const QString& path, const TRecordingTimer& recording);
// Refused (EIniFileError) when the file holds no such recording any more: writing it anew
// would bring back an entry that was removed meanwhile.
void ReplaceRecording(const QString& path, const QString& section,
                      const TRecordingTimer& recording);
// Nothing is written when the file holds no such recording.
void RemoveRecording(const QString& path, const QString& section);
