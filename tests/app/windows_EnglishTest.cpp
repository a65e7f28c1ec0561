// The windows in English, as every interface language but Russian, Ukrainian and Belarusian
// gets them: the main window's captions and tips and its menus.
#include "MainFormFixture.h"
#include "app/InterfaceLanguage.h"

#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QToolButton>
#include <QTranslator>

namespace {

class EnglishTest : public MainFormTest {
protected:
    void TearDown() override {
        FForm.reset();
        // The translation leaves with its object.
        for (QTranslator* translator : qApp->findChildren<QTranslator*>())
            delete translator;
    }
};

QStringList Texts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

TEST_F(EnglishTest, CaptionsTipsAndMenusAreEnglish) {
    ASSERT_TRUE(InstallInterfaceTranslation(*qApp, TInterfaceLanguage::English));
    TMainForm& f = Start();
    EXPECT_EQ(f.GroupBoxList->title(), "Station List");
    EXPECT_EQ(f.SpeedButtonPower->toolTip(), "Power");
    EXPECT_EQ(f.SpeedButtonMute->toolTip(), "Mute");
    EXPECT_EQ(Texts(*f.PopupMenuTray), (QStringList{"Restore", "Record", "Quit"}));
    EXPECT_TRUE(Texts(*f.PopupMenuStationsList).contains("Scan band"));
    EXPECT_TRUE(Texts(*f.PopupMenuStationsList).contains("Add"));
}

TEST_F(EnglishTest, RussianReadersKeepTheProgramsOwnTexts) {
    EXPECT_FALSE(InstallInterfaceTranslation(*qApp, TInterfaceLanguage::Russian));
    TMainForm& f = Start();
    EXPECT_EQ(f.GroupBoxList->title(), "Список Станций");
    EXPECT_EQ(Texts(*f.PopupMenuTray), (QStringList{"Развернуть", "Запись", "Выход"}));
}

} // namespace
