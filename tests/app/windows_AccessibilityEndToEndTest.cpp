// The real program as a screen reader meets it: under Xvfb, with the desktop's accessibility
// bus (at-spi2-core, started by the private session bus on demand) and read through pyatspi,
// as assistive technologies read it. Every control has a name and a role, the sliders carry
// their values and take new ones, and the display says what it shows.
#include "../desktop/PrivateBus.h"
#include "ProcessEnding.h"
#include "StderrReader.h"
#include "WaitFor.h"
#include "XvfbSession.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One object as the bus shows it.
struct TSeen {
    int Depth = 0;
    QString Role, Name, Value, States;
};

class TAccessibleProgram {
public:
    TAccessibleProgram(const TXvfbSession& x, const TPrivateBus& bus,
                       const QByteArray& settings = {},
                       const QList<std::pair<QString, QString>>& locale = {}) {
        if (!settings.isEmpty()) {
            QFile ini(FConfig.filePath("orvalen.ini"));
            if (ini.open(QIODevice::WriteOnly))
                ini.write(settings);
        }
        FEnv = x.Environment();
        FEnv.insert("DBUS_SESSION_BUS_ADDRESS", bus.Address);
        FEnv.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
            FEnv.remove(variable);
        for (const auto& [variable, value] : locale)
            FEnv.insert(variable, value);
        Program.setProcessEnvironment(FEnv);
        Program.start(ORVALEN_BINARY_DIR "/orvalen",
                      {"--simulate", "--verbose", "--config-dir", FConfig.path()});
    }

    // The application's objects; empty while it is not on the accessibility bus.
    QList<TSeen> Objects() const {
        const QString out = Script({"dump", "Orvalen"});
        QList<TSeen> seen;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split('\t');
            if (f.size() == 5)
                seen.append({f[0].toInt(), f[1], f[2], f[3], f[4]});
        }
        return seen;
    }
    bool SetValue(const QString& name, double value) const {
        return Succeeds({"set", "Orvalen", name, QString::number(value)});
    }
    bool Press(const QString& name) const { return Succeeds({"press", "Orvalen", name}); }

    QProcess Program;

private:
    void Run(QProcess& script, const QStringList& arguments) const {
        script.setProcessEnvironment(FEnv);
        script.start("/usr/bin/python3",
                     QStringList{ORVALEN_SOURCE_DIR "/tests/app/data/atspi.py"} + arguments);
        script.waitForFinished(30000);
    }
    QString Script(const QStringList& arguments) const {
        QProcess script;
        Run(script, arguments);
        return QString::fromUtf8(script.readAllStandardOutput());
    }
    bool Succeeds(const QStringList& arguments) const {
        QProcess script;
        Run(script, arguments);
        return script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
    }

    QProcessEnvironment FEnv;
    QTemporaryDir FConfig;
};

const TSeen* Find(const QList<TSeen>& objects, const QString& name) {
    for (const TSeen& object : objects)
        if (object.Name == name)
            return &object;
    return nullptr;
}

struct TExpected {
    const char* Role;
    const char* Name;
};

void ExpectObjects(const QList<TSeen>& objects, std::initializer_list<TExpected> expected) {
    for (const TExpected& e : expected) {
        bool found = false;
        for (const TSeen& object : objects)
            found = found || (object.Role == e.Role && object.Name == e.Name);
        EXPECT_TRUE(found) << e.Role << " \"" << e.Name << "\"";
    }
}

} // namespace

TEST(AccessibilityEndToEnd, EveryControlOfTheMainWindowHasItsRoleAndName) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    TPrivateBus bus;
    ASSERT_FALSE(bus.Address.isEmpty());
    TAccessibleProgram program(x, bus);
    const TEnding end{program.Program};
    ASSERT_TRUE(program.Program.waitForStarted());
    TStderr err(program.Program);
    ASSERT_TRUE(err.WaitFor("Device connected\n", 60000)) << err.All().toStdString();

    QList<TSeen> objects;
    ASSERT_TRUE(
        WaitFor([&] { return Find(objects = program.Objects(), "Частота") != nullptr; }, 30000));
    ExpectObjects(objects, {
                               {"push button", "Подключение"},
                               {"push button", "Питание"},
                               {"push button", "О программе"},
                               {"push button", "Настройки"},
                               {"push button", "Поиск вниз"},
                               {"push button", "Шаг вниз"},
                               {"push button", "Шаг вверх"},
                               {"push button", "Поиск вверх"},
                               {"slider", "Частота"},
                               {"push button", "Список станций"},
                               {"push button", "Стерео"},
                               {"push button", "Без звука"},
                               {"push button", "Диапазон"},
                               {"push button", "Усиление басов"},
                               {"slider", "Громкость"},
                               {"push button", "Эквалайзер вкл/выкл"},
                               {"push button", "Окно эквалайзера"},
                               {"list", "Список станций"},
                               {"push button", "Добавить станцию"},
                               {"push button", "Править станцию"},
                               {"push button", "Удалить станцию"},
                               {"push button", "Сортировать список"},
                               {"frame", "USB Orvalen"},
                           });
    // A toggle that is on is a pressed button; one that is off is not.
    ASSERT_NE(Find(objects, "Стерео"), nullptr);
    EXPECT_TRUE(Find(objects, "Стерео")->States.contains("pressed"));
    ASSERT_NE(Find(objects, "Без звука"), nullptr);
    EXPECT_FALSE(Find(objects, "Без звука")->States.contains("pressed"));

    // The display reads what it shows, and the tuning scale its frequency.
    const auto display = [&] {
        for (const TSeen& object : program.Objects())
            if (object.Role == "label" && object.Name.contains("МГц"))
                return object.Name;
        return QString();
    };
    EXPECT_EQ(display(), "88.0 МГц FM, выключен");
    // The sliders' values in the units the user thinks in: megahertz and percent.
    EXPECT_EQ(Find(objects, "Частота")->Value, "88");
    EXPECT_EQ(Find(objects, "Громкость")->Value, "100"); // its default: all the way up

    // Power on, then the scale set through the bus to 101.7 MHz tunes there.
    ASSERT_TRUE(program.Press("Питание"));
    ASSERT_TRUE(err.WaitFor("WR 00  50 01 00 ")) << err.All().toStdString();
    ASSERT_TRUE(program.SetValue("Частота", 101.7));
    EXPECT_TRUE(err.WaitFor("WR 00  46 89 20 ")) << err.All().toStdString();
    EXPECT_TRUE(WaitFor([&] { return display().startsWith("101.7 МГц FM, "); }, 10000))
        << display().toStdString();
    EXPECT_EQ(Find(program.Objects(), "Частота")->Value, "101.7");
}

TEST(AccessibilityEndToEnd, TheOptionsDialogAndTheEqualizerWindowNameEveryField) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    TPrivateBus bus;
    ASSERT_FALSE(bus.Address.isEmpty());
    // Digital sound on: the equalizer's window opens only then.
    TAccessibleProgram program(x, bus, "[main]\r\ndirectsound=1\r\n");
    const TEnding end{program.Program};
    ASSERT_TRUE(program.Program.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return Find(program.Objects(), "Окно эквалайзера"); }, 30000));

    ASSERT_TRUE(program.Press("Окно эквалайзера"));
    // The options dialog is modal: pressed through the bus, the press would not return
    // before the dialog closes, so it is opened with its key.
    const QString window = x.FindWindow("USB Orvalen");
    x.Run("xdotool", {"windowfocus", "--sync", window});
    x.Run("xdotool", {"key", "--window", window, "o"});
    QList<TSeen> objects;
    ASSERT_TRUE(WaitFor([&] { return Find(objects = program.Objects(), "Бит"); }, 20000));

    ExpectObjects(objects, {
                               {"dialog", "Настройки"},
                               {"check box", "Прилипать к краям экрана"},
                               {"check box", "Включить цифровую обработку звука"},
                               {"combo box", "Вход"},
                               {"combo box", "Выход"},
                               {"combo box", "Бит"},
                               {"combo box", "Частота дискретизации"},
                               {"slider", "Громкость чипа"},
                               {"radio button", "Автоматически"},
                               {"dialog", "Эквалайзер"},
                               {"slider", "80 Гц"},
                               {"slider", "1 кГц"},
                               {"slider", "14 кГц"},
                           });
    // The bands' values are their gains in decibels; flat at the start.
    EXPECT_EQ(Find(objects, "80 Гц")->Value, "0");
}

TEST(AccessibilityEndToEnd, TheInterfaceSpeaksEnglishToAllButRussianReadersAndTheCLocale) {
    const struct {
        QList<std::pair<QString, QString>> Locale;
        bool English;
    } cases[] = {
        {{{"LANG", "en_US.UTF-8"}}, true},
        {{{"LANG", "de_DE.UTF-8"}}, true},
        {{{"LANG", "ru_RU.UTF-8"}, {"LANGUAGE", "en"}}, true},
        {{{"LANG", "ru_RU.UTF-8"}}, false},
        {{{"LANG", "uk_UA.UTF-8"}}, false},
        {{{"LANG", "C"}}, false},
        {{}, false},
    };
    for (const auto& c : cases) {
        QString trace;
        for (const auto& [variable, value] : c.Locale)
            trace += variable + "=" + value + " ";
        SCOPED_TRACE(trace.toStdString());
        TXvfbSession x;
        ASSERT_TRUE(x.Running());
        TPrivateBus bus;
        ASSERT_FALSE(bus.Address.isEmpty());
        TAccessibleProgram program(x, bus, {}, c.Locale);
        const TEnding end{program.Program};
        ASSERT_TRUE(program.Program.waitForStarted());
        QList<TSeen> objects;
        ASSERT_TRUE(WaitFor(
            [&] {
                objects = program.Objects();
                return Find(objects, "Power") || Find(objects, "Питание");
            },
            30000));
        const QString window = x.FindWindow("USB Orvalen");
        x.Run("xdotool", {"windowfocus", "--sync", window});
        x.Run("xdotool", {"key", "--window", window, "o"});
        ASSERT_TRUE(WaitFor(
            [&] {
                objects = program.Objects();
                return Find(objects, "Bits") || Find(objects, "Бит");
            },
            20000));
        if (c.English)
            ExpectObjects(objects, {{"push button", "Power"},
                                    {"push button", "Settings"},
                                    {"push button", "Seek up"},
                                    {"slider", "Frequency"},
                                    {"slider", "Volume"},
                                    {"list", "Station list"},
                                    {"dialog", "Settings"},
                                    {"combo box", "Input"},
                                    {"combo box", "Output"}});
        else
            ExpectObjects(objects, {{"push button", "Питание"},
                                    {"push button", "Настройки"},
                                    {"push button", "Поиск вверх"},
                                    {"slider", "Частота"},
                                    {"slider", "Громкость"},
                                    {"list", "Список станций"},
                                    {"dialog", "Настройки"},
                                    {"combo box", "Вход"},
                                    {"combo box", "Выход"}});
    }
}
