// The main window goes to the tray and comes back with the equalizer window as it was.
#include "MainFormFixture.h"
#include "WaitFor.h"
#include "app/Forms.h"
#include "controls/SimpleTray.h"
#include "equalizer/UnitEqualizer.h"

#include <QApplication>

namespace {

class TrayMainFormTest : public MainFormTest {
protected:
    TMainForm& StartShown() {
        TMainForm& form = Start();
        FormEqualizer = new TFormEqualizer(&form, form.Audio().GraphicEqualizer1(), {});
        form.show();
        RunEvents();
        return form;
    }
    void TearDown() override {
        FForm.reset(); // owns the equalizer window
        FormEqualizer = nullptr;
    }
    void ShowHideMain() {
        QCoreApplication::postEvent(FForm.get(), new QEvent(WM_SHOWHIDEMAIN));
        RunEvents();
    }
};

} // namespace

TEST_F(TrayMainFormTest, TheTrayRequestHidesBothWindowsAndBringsBackWhatWasOpen) {
    const struct { bool EqualizerOpen; } cases[] = {{true}, {false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.EqualizerOpen ? "equalizer open" : "equalizer closed");
        TMainForm& form = StartShown();
        FormEqualizer->setVisible(c.EqualizerOpen);
        ShowHideMain();
        EXPECT_FALSE(form.isVisible());
        EXPECT_FALSE(FormEqualizer->isVisible());
        EXPECT_EQ(form.FEqualizerWasVisible, c.EqualizerOpen);
        ShowHideMain();
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.isMinimized());
        EXPECT_EQ(FormEqualizer->isVisible(), c.EqualizerOpen);
        TearDown();
    }
}

TEST_F(TrayMainFormTest, RestoreFromTheMenuOnlyRaisesAVisibleWindowAndShowsAHiddenOne) {
    TMainForm& form = StartShown();
    FormEqualizer->show();
    form.N6Click();
    RunEvents();
    EXPECT_TRUE(form.isVisible()) << "a visible window is not toggled away";
    EXPECT_TRUE(FormEqualizer->isVisible());

    ShowHideMain(); // into the tray
    ASSERT_FALSE(form.isVisible());
    form.N6Click();
    RunEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(FormEqualizer->isVisible());
}

TEST_F(TrayMainFormTest, WithoutATrayHostMinimisingMinimisesAndAnotherStartRestoresIt) {
    // The offscreen platform has no tray host: a hidden window could not be reached again.
    TMainForm& form = StartShown();
    form.setWindowState(Qt::WindowMinimized);
    RunEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
    form.BringForward();
    RunEvents();
    EXPECT_FALSE(form.isMinimized());

    ShowHideMain(); // in the tray: another start does not bring it out
    form.BringForward();
    RunEvents();
    EXPECT_FALSE(form.isVisible());
}
