// AM Mode, STOP, CW, and the panel's buttons from the keyboard.
#include "panelfixture.h"

#include "presets/telegraphpanel.h"

namespace {

TEST_F(PanelTest, AmModeCyclesTheModulationKind) {
    const struct {
        int16_t before;
        const char *sent;
        const char *line;
    } steps[] = {{0, "M1", "Mod. : Still"},
                 {1, "M2", "Mod. : Beep"},
                 {2, "M3", "Mod. : Trill"},
                 {3, "M0", "Mod. : None"},
                 {-1, "M0", "Mod. : None"},
                 {32767, "M0", "Mod. : None"}}; // the top of the 16-bit range wraps too
    for (const auto &s : steps) {
        SCOPED_TRACE(s.before);
        state().modMode = s.before;
        state().activePreset = 4;
        ui(window()).amModeButton->click();
        EXPECT_EQ(sent(), QStringList{QString::fromLatin1(s.sent)});
        EXPECT_EQ(ui(window()).modKindLine->text(), QString::fromLatin1(s.line));
        EXPECT_EQ(state().activePreset, 0);
        EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("MAN"));
    }
    // With no modulation the modulation readout is empty.
    EXPECT_EQ(ui(window()).modulationReadout->text(), QString());
}

TEST_F(PanelTest, StopStepsTheOutputAndEndsASweep) {
    const struct {
        int16_t output, sweeping;
        int16_t outputAfter, sweepingAfter;
        const char *sent; // nullptr: nothing
    } cases[] = {
        {0, 0, 1, 0, "1"},     {0, 1, 1, 1, "1"},      {1, 0, 0, 0, "0"},
        {1, 1, 2, 0, "0"},     {2, 0, 0, 0, "0"},      {2, 1, 2, 0, "0"},
        {32767, 0, 0, 0, "0"}, // no overflow at the top of the range
        {32767, 1, 2, 0, "0"}, {-1, 0, 0, 0, nullptr}, {-32768, 0, -32767, 0, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.output << "," << c.sweeping);
        state().outputOn = c.output;
        state().sweeping = c.sweeping;
        ui(window()).sweepButton->setText(QStringLiteral("Pause"));
        ui(window()).stopButton->click();
        EXPECT_EQ(state().outputOn, c.outputAfter);
        EXPECT_EQ(state().sweeping, c.sweepingAfter);
        EXPECT_EQ(sent(), c.sent ? QStringList{QString::fromLatin1(c.sent)} : QStringList());
        EXPECT_EQ(ui(window()).sweepButton->text(), QStringLiteral("Sweep")); // always reset
    }
}

TEST_F(PanelTest, StopSwitchesTheOutputOffAndOnAgain) {
    ui(window()).stopButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_EQ(ui(window()).carrierReadout->text(), QStringLiteral("0"));
    EXPECT_EQ(ui(window()).modulationReadout->text(), QStringLiteral("OFF"));
    EXPECT_FALSE(ui(window()).outputLamp->isLit());
    EXPECT_EQ(ui(window()).outputLamp->fill(), QColor(Qt::black));
    ui(window()).stopButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("1")});
    EXPECT_TRUE(ui(window()).outputLamp->isLit());
    EXPECT_EQ(ui(window()).outputLamp->fill(), QColor(255, 0, 0));
    EXPECT_EQ(ui(window()).carrierReadout->text(), QStringLiteral("7.050.000"));
}

TEST_F(PanelTest, StopDuringASweepEndsItAndKeepsTheOutputOn) {
    state().sweeping = 1;
    ui(window()).sweepButton->setText(QStringLiteral("Pause"));
    window().displayAll();
    ui(window()).stopButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_FALSE(ui(window()).sweepLamp->isLit());
    EXPECT_TRUE(ui(window()).outputLamp->isLit());
    EXPECT_TRUE(ui(window()).upButton->isEnabled());
    EXPECT_TRUE(ui(window()).downButton->isEnabled());
    EXPECT_EQ(ui(window()).sweepButton->text(), QStringLiteral("Sweep"));
    ui(window()).stopButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_FALSE(ui(window()).outputLamp->isLit());
}

TEST_F(PanelTest, CwSwitchesTheOutputOffAndOpensTheFrameOverTheDisplay) {
    ASSERT_TRUE(ui(window()).cwButton->isEnabled()); // a KVT 20 identified itself
    ASSERT_FALSE(ui(window()).telegraphPanel->isVisible());
    ui(window()).cwButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_EQ(state().outputOn, 1); // the generator's S reply tells
    EXPECT_TRUE(ui(window()).telegraphPanel->isVisible());
    EXPECT_EQ(ui(window()).telegraphPanel->pos(), ui(window()).displayWindow->pos());
    EXPECT_FALSE(ui(window()).carrierReadout->isVisible());
    EXPECT_FALSE(ui(window()).modulationReadout->isVisible());
}

TEST_F(PanelTest, CwDoesNothingWhileSweeping) {
    state().sweeping = 1;
    ui(window()).cwButton->click();
    EXPECT_EQ(sent(), QStringList());
    EXPECT_FALSE(ui(window()).telegraphPanel->isVisible());
    EXPECT_TRUE(ui(window()).carrierReadout->isVisible());
}

TEST(PanelCw, IsUnavailableUntilAKvt20HasIdentifiedItself) {
    PanelRig rig;
    EXPECT_FALSE(ui(*rig.window).cwButton->isEnabled());
    rig.connectOn(2, "KVT10v2.05\r\n");
    EXPECT_FALSE(ui(*rig.window).cwButton->isEnabled());
}

// Enter and Space press the focused button; the other keys send nothing.
TEST_F(PanelTest, PanelButtonsWorkFromTheKeyboard) {
    const struct {
        const char *button;
        std::function<bool()> pressed;
    } buttons[] = {
        {"upButton", [this] { return sent() == QStringList{"F7060000"}; }},
        {"downButton", [this] { return sent() == QStringList{"F7040000"}; }},
        {"stepButton", [this] { return tuning().step() == 100000; }},
        {"directInButton", [this] { return window().height() == MainWindow::expandedHeight(); }},
        {"amModeButton", [this] { return sent() == QStringList{"M2"}; }},
        {"stopButton", [this] { return sent() == QStringList{"0"}; }},
        {"cwButton", [this] { return sent() == QStringList{"0"}; }},
        {"sweepButton", [this] { return sent() == QStringList{"W  "}; }},
    };
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        for (const auto &b : buttons) {
            reset(); // the same starting state for every press
            window().setFixedHeight(MainWindow::collapsedHeight());
            QPushButton *button = control<QPushButton>(window(), b.button);
            SCOPED_TRACE(button->objectName().toStdString() + " " +
                         std::to_string(static_cast<int>(key)));
            button->setFocus();
            QTest::keyClick(button, key);
            EXPECT_TRUE(b.pressed());
        }
    }
    reset();
    for (const auto &b : buttons) {
        QPushButton *button = control<QPushButton>(window(), b.button);
        QTest::keyClicks(button, QStringLiteral("FAMWPKQ01x+-."));
        QTest::keyClick(button, Qt::Key_Escape);
        QTest::keyClick(button, Qt::Key_Tab);
    }
    EXPECT_EQ(rig.port.takeWritten(), QByteArray());
    EXPECT_TRUE(rig.dialogs.asked.empty());
}

} // namespace
