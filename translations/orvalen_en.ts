<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>Recording</name>
    <message>
        <source>USB Orvalen — запись</source>
        <translation>USB Orvalen — recording</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Запись остановлена.
%1</source>
        <translation>Recording stopped.
%1</translation>
    </message>
    <message>
        <source>Запись не начата.
%1</source>
        <translation>Recording not started.
%1</translation>
    </message>
</context>
<context>
    <name>TBandScanDialog</name>
    <message>
        <source>Сканирование диапазона</source>
        <translation>Band scan</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Найдено станций: 0</source>
        <translation>Stations found: 0</translation>
    </message>
    <message>
        <source>Частота: %1 МГц</source>
        <translation>Frequency: %1 MHz</translation>
    </message>
    <message>
        <source>Найдено станций: %1</source>
        <translation>Stations found: %1</translation>
    </message>
</context>
<context>
    <name>TFormAbout</name>
    <message>
        <source>Изображение</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>Версия приложения: %1</source>
        <translation>Program version: %1</translation>
    </message>
</context>
<context>
    <name>TFormEqualizer</name>
    <message>
        <source>%1 Гц</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>%1 кГц</source>
        <translation>%1 kHz</translation>
    </message>
    <message>
        <source>%1 дБ</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>Эквалайзер</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>Предустановка</source>
        <translation>Preset</translation>
    </message>
</context>
<context>
    <name>TFormLogs</name>
    <message>
        <source>Лог</source>
        <translation>Log</translation>
    </message>
</context>
<context>
    <name>TFormStation</name>
    <message>
        <source>Станция</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Частота</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
</context>
<context>
    <name>TFormTimers</name>
    <message>
        <source>Пн</source>
        <translation>Mon</translation>
    </message>
    <message>
        <source>Вт</source>
        <translation>Tue</translation>
    </message>
    <message>
        <source>Ср</source>
        <translation>Wed</translation>
    </message>
    <message>
        <source>Чт</source>
        <translation>Thu</translation>
    </message>
    <message>
        <source>Пт</source>
        <translation>Fri</translation>
    </message>
    <message>
        <source>Сб</source>
        <translation>Sat</translation>
    </message>
    <message>
        <source>Вс</source>
        <translation>Sun</translation>
    </message>
    <message>
        <source>%1 МГц</source>
        <translation>%1 MHz</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>Частота…</source>
        <translation>Frequency…</translation>
    </message>
    <message>
        <source>Частота вне диапазонов 65,9–74,0 и 88,0–108,0 МГц</source>
        <translation>Frequency outside the 65.9–74.0 and 88.0–108.0 MHz bands</translation>
    </message>
    <message>
        <source>Таймеры</source>
        <translation>Timers</translation>
    </message>
    <message>
        <source>Сон</source>
        <translation>Sleep</translation>
    </message>
    <message>
        <source>Выкл</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>Другое…</source>
        <translation>Other…</translation>
    </message>
    <message>
        <source>Минут</source>
        <translation>Minutes</translation>
    </message>
    <message>
        <source>Будильник</source>
        <translation>Wake-up</translation>
    </message>
    <message>
        <source>Включить</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>Включить будильник</source>
        <translation>Enable wake-up</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Дни</source>
        <translation>Days</translation>
    </message>
    <message>
        <source>Станция</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Частота, МГц</source>
        <translation>Frequency, MHz</translation>
    </message>
    <message>
        <source>Громкость</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Запись по расписанию</source>
        <translation>Scheduled recordings</translation>
    </message>
    <message>
        <source>Начало</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Длительность</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Добавить…</source>
        <translation>Add…</translation>
    </message>
    <message>
        <source>Изменить…</source>
        <translation>Change…</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Запускать при входе в систему</source>
        <translation>Start when I log in</translation>
    </message>
    <message>
        <source>Осталось %1 мин</source>
        <translation>%1 min left</translation>
    </message>
    <message>
        <source>Не выбран ни один день недели</source>
        <translation>No day of the week is chosen</translation>
    </message>
    <message>
        <source>Пересекается с записью: %1, %2</source>
        <translation>Overlaps the recording: %1, %2</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>Статус подключения</source>
        <translation>Connection status</translation>
    </message>
    <message>
        <source>Питание</source>
        <translation>Power</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Поиск вниз</source>
        <translation>Seek down</translation>
    </message>
    <message>
        <source>Шаг -</source>
        <translation>Step -</translation>
    </message>
    <message>
        <source>Шаг +</source>
        <translation>Step +</translation>
    </message>
    <message>
        <source>Поиск вверх</source>
        <translation>Seek up</translation>
    </message>
    <message>
        <source>Список станций</source>
        <translation>Station list</translation>
    </message>
    <message>
        <source>Стерео</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Приглушение звука</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Диапазон</source>
        <translation>Band</translation>
    </message>
    <message>
        <source>Басс</source>
        <translation>Bass</translation>
    </message>
    <message>
        <source>Вкл/Выкл эквалайзер</source>
        <translation>Equalizer on/off</translation>
    </message>
    <message>
        <source>Эквалайзер</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>Список Станций</source>
        <translation>Station List</translation>
    </message>
    <message>
        <source>Развернуть</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>УКВ</source>
        <translation>OIRT</translation>
    </message>
    <message>
        <source>%1 МГц</source>
        <translation>%1 MHz</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Подключение</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Шаг вниз</source>
        <translation>Step down</translation>
    </message>
    <message>
        <source>Шаг вверх</source>
        <translation>Step up</translation>
    </message>
    <message>
        <source>Без звука</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Усиление басов</source>
        <translation>Bass boost</translation>
    </message>
    <message>
        <source>Эквалайзер вкл/выкл</source>
        <translation>Equalizer on/off</translation>
    </message>
    <message>
        <source>Окно эквалайзера</source>
        <translation>Equalizer window</translation>
    </message>
    <message>
        <source>Добавить станцию</source>
        <translation>Add station</translation>
    </message>
    <message>
        <source>Править станцию</source>
        <translation>Edit station</translation>
    </message>
    <message>
        <source>Удалить станцию</source>
        <translation>Delete station</translation>
    </message>
    <message>
        <source>Сортировать список</source>
        <translation>Sort list</translation>
    </message>
    <message>
        <source>Частота</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>Громкость</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Запись недоступна: звук не проходит через программу</source>
        <translation>Recording unavailable: the sound does not pass through the program</translation>
    </message>
    <message>
        <source>Запись возможна только при цифровой обработке звука (Настройки)</source>
        <translation>Recording needs digital sound processing (Settings)</translation>
    </message>
    <message>
        <source>Запись невозможна: тюнер не подключён</source>
        <translation>Cannot record: the tuner is not connected</translation>
    </message>
    <message>
        <source>Запись невозможна: тюнер выключен</source>
        <translation>Cannot record: the tuner is off</translation>
    </message>
    <message>
        <source>Записать то, что звучит, в файл FLAC (R)</source>
        <translation>Record what is playing to a FLAC file (R)</translation>
    </message>
    <message>
        <source>Предупреждение</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Тюнер отключён: сканирование остановлено</source>
        <translation>Tuner disconnected: scan stopped</translation>
    </message>
    <message>
        <source>Тюнер выключен: сканирование остановлено</source>
        <translation>Tuner switched off: scan stopped</translation>
    </message>
    <message>
        <source>Тюнер не отвечает: сканирование остановлено</source>
        <translation>Tuner not responding: scan stopped</translation>
    </message>
    <message>
        <source>Сканировать диапазон</source>
        <translation>Scan band</translation>
    </message>
    <message>
        <source>Сканирование невозможно: тюнер не подключён или выключен</source>
        <translation>Cannot scan: the tuner is not connected or is off</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Править</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Сортировать</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>Избранное</source>
        <translation>Favorite</translation>
    </message>
    <message>
        <source>Станция с такой частотой уже есть в списке</source>
        <translation>A station with this frequency is already in the list</translation>
    </message>
    <message>
        <source>Необходимо выбрать запись</source>
        <translation>Select an entry first</translation>
    </message>
    <message>
        <source>Подтверждение</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Станция будет удалена из списка</source>
        <translation>The station will be removed from the list</translation>
    </message>
    <message>
        <source>Таймеры…</source>
        <translation>Timers…</translation>
    </message>
</context>
<context>
    <name>TOptionsForm</name>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Основные настройки</source>
        <translation>General settings</translation>
    </message>
    <message>
        <source>Прилипать к краям экрана</source>
        <translation>Snap to screen edges</translation>
    </message>
    <message>
        <source>Включить цифровую обработку звука</source>
        <translation>Enable digital sound processing</translation>
    </message>
    <message>
        <source>Использовать RDS (RDA5807)</source>
        <translation>Use RDS (RDA5807)</translation>
    </message>
    <message>
        <source>Цифровая обработка звука</source>
        <translation>Digital sound processing</translation>
    </message>
    <message>
        <source>Вход</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>Бит</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>Частота дискретизации</source>
        <translation>Sample rate</translation>
    </message>
    <message>
        <source>Громкость чипа (только для RDA5807)</source>
        <translation>Chip volume (RDA5807 only)</translation>
    </message>
    <message>
        <source>Подключаемый FM-модуль</source>
        <translation>FM module</translation>
    </message>
    <message>
        <source>Автоматически</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Громкость чипа</source>
        <translation>Chip volume</translation>
    </message>
</context>
<context>
    <name>TOrvalenScreen</name>
    <message>
        <source>%1 МГц %2</source>
        <translation>%1 MHz %2</translation>
    </message>
    <message>
        <source>УКВ</source>
        <translation>OIRT</translation>
    </message>
    <message>
        <source>выключен</source>
        <translation>off</translation>
    </message>
    <message>
        <source>стерео</source>
        <translation>stereo</translation>
    </message>
    <message>
        <source>моно</source>
        <translation>mono</translation>
    </message>
    <message>
        <source>RDS: %1</source>
        <translation>RDS: %1</translation>
    </message>
</context>
<context>
    <name>TRecordingEditor</name>
    <message>
        <source>Запись по расписанию</source>
        <translation>Scheduled recordings</translation>
    </message>
    <message>
        <source>Станция</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Частота, МГц</source>
        <translation>Frequency, MHz</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Дата и время начала</source>
        <translation>Start date and time</translation>
    </message>
    <message>
        <source>По дням</source>
        <translation>On days</translation>
    </message>
    <message>
        <source>Время начала</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>Длительность</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TStationListBox</name>
    <message>
        <source>без названия</source>
        <translation>no name</translation>
    </message>
    <message>
        <source>%1 МГц</source>
        <translation>%1 MHz</translation>
    </message>
    <message>
        <source>%1 МГц УКВ</source>
        <translation>%1 MHz OIRT</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
</context>
<context>
    <name>Timers</name>
    <message>
        <source>%1 — сон через %2 мин</source>
        <translation>%1 — sleep in %2 min</translation>
    </message>
    <message>
        <source>Таймеры</source>
        <translation>Timers</translation>
    </message>
    <message>
        <source>%1 МГц</source>
        <translation>%1 MHz</translation>
    </message>
    <message>
        <source>Будильник в %1 пропущен.</source>
        <translation>The wake-up at %1 was missed.</translation>
    </message>
    <message>
        <source>Будильник в %1 не сработал: тюнер не подключён.</source>
        <translation>The wake-up at %1 did not go off: the tuner is not connected.</translation>
    </message>
    <message>
        <source>Запись %1 в %2 пропущена.</source>
        <translation>The recording of %1 at %2 was missed.</translation>
    </message>
    <message>
        <source>тюнер не подключён.</source>
        <translation>the tuner is not connected.</translation>
    </message>
    <message>
        <source>Запись %1 в %2 не началась: %3</source>
        <translation>The recording of %1 at %2 did not start: %3</translation>
    </message>
</context>
</TS>
