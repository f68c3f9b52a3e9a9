// AM Mode, STOP, CW, and the panel's buttons from the keyboard.
#include "panelfixture.h"

#include "presets/frame2.h"

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
        state().ModMode = s.before;
        state().ActivePreset = 4;
        form().Command4->click();
        EXPECT_EQ(sent(), QStringList{QString::fromLatin1(s.sent)});
        EXPECT_EQ(form().Label12->text(), QString::fromLatin1(s.line));
        EXPECT_EQ(state().ActivePreset, 0);
        EXPECT_EQ(form().Label6->text(), QStringLiteral("MAN"));
    }
    // With no modulation the modulation readout is empty.
    EXPECT_EQ(form().Label2->text(), QString());
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
        state().OutputOn = c.output;
        state().Sweeping = c.sweeping;
        form().Command5->setText(QStringLiteral("Pause"));
        form().Command6->click();
        EXPECT_EQ(state().OutputOn, c.outputAfter);
        EXPECT_EQ(state().Sweeping, c.sweepingAfter);
        EXPECT_EQ(sent(), c.sent ? QStringList{QString::fromLatin1(c.sent)} : QStringList());
        EXPECT_EQ(form().Command5->text(), QStringLiteral("Sweep")); // always reset
    }
}

TEST_F(PanelTest, StopSwitchesTheOutputOffAndOnAgain) {
    form().Command6->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_EQ(form().Label1->text(), QStringLiteral("0"));
    EXPECT_EQ(form().Label2->text(), QStringLiteral("OFF"));
    EXPECT_FALSE(form().Shape10->isLit());
    EXPECT_EQ(form().Shape10->fill(), QColor(Qt::black));
    form().Command6->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("1")});
    EXPECT_TRUE(form().Shape10->isLit());
    EXPECT_EQ(form().Shape10->fill(), QColor(255, 0, 0));
    EXPECT_EQ(form().Label1->text(), QStringLiteral("7.050.000"));
}

TEST_F(PanelTest, StopDuringASweepEndsItAndKeepsTheOutputOn) {
    state().Sweeping = 1;
    form().Command5->setText(QStringLiteral("Pause"));
    form().DisplayAll();
    form().Command6->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_FALSE(form().Shape11->isLit());
    EXPECT_TRUE(form().Shape10->isLit());
    EXPECT_TRUE(form().Command7->isEnabled());
    EXPECT_TRUE(form().Command8->isEnabled());
    EXPECT_EQ(form().Command5->text(), QStringLiteral("Sweep"));
    form().Command6->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_FALSE(form().Shape10->isLit());
}

TEST_F(PanelTest, CwSwitchesTheOutputOffAndOpensTheFrameOverTheDisplay) {
    ASSERT_TRUE(form().Command11->isEnabled()); // a KVT 20 identified itself
    ASSERT_FALSE(form().m_frame2->isVisible());
    form().Command11->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_EQ(state().OutputOn, 1); // the generator's S reply tells
    EXPECT_TRUE(form().m_frame2->isVisible());
    EXPECT_EQ(form().m_frame2->pos(), form().Shape1->pos());
    EXPECT_FALSE(form().Label1->isVisible());
    EXPECT_FALSE(form().Label2->isVisible());
}

TEST_F(PanelTest, CwDoesNothingWhileSweeping) {
    state().Sweeping = 1;
    form().Command11->click();
    EXPECT_EQ(sent(), QStringList());
    EXPECT_FALSE(form().m_frame2->isVisible());
    EXPECT_TRUE(form().Label1->isVisible());
}

TEST(PanelCw, IsUnavailableUntilAKvt20HasIdentifiedItself) {
    PanelRig rig;
    EXPECT_FALSE(rig.form->Command11->isEnabled());
    rig.connectOn(2, "KVT10v2.05\r\n");
    EXPECT_FALSE(rig.form->Command11->isEnabled());
}

// Enter and Space press the focused button; the other keys send nothing.
TEST_F(PanelTest, PanelButtonsWorkFromTheKeyboard) {
    const struct {
        QPushButton *Form1::*button;
        std::function<bool()> pressed;
    } buttons[] = {
        {&Form1::Command7, [this] { return sent() == QStringList{"F7060000"}; }},
        {&Form1::Command8, [this] { return sent() == QStringList{"F7040000"}; }},
        {&Form1::Command10, [this] { return state().TuneStep == 100000; }},
        {&Form1::Command12, [this] { return form().height() == Form1::expandedHeight(); }},
        {&Form1::Command4, [this] { return sent() == QStringList{"M2"}; }},
        {&Form1::Command6, [this] { return sent() == QStringList{"0"}; }},
        {&Form1::Command11, [this] { return sent() == QStringList{"0"}; }},
        {&Form1::Command5, [this] { return sent() == QStringList{"W  "}; }},
    };
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        for (const auto &b : buttons) {
            reset(); // the same starting state for every press
            form().setFixedHeight(Form1::collapsedHeight());
            QPushButton *button = form().*b.button;
            SCOPED_TRACE(button->objectName().toStdString() + " " +
                         std::to_string(static_cast<int>(key)));
            button->setFocus();
            QTest::keyClick(button, key);
            EXPECT_TRUE(b.pressed());
        }
    }
    reset();
    for (const auto &b : buttons) {
        QPushButton *button = form().*b.button;
        QTest::keyClicks(button, QStringLiteral("FAMWPKQ01x+-."));
        QTest::keyClick(button, Qt::Key_Escape);
        QTest::keyClick(button, Qt::Key_Tab);
    }
    EXPECT_EQ(rig.port.takeWritten(), QByteArray());
    EXPECT_TRUE(rig.dialogs.asked.empty());
}

} // namespace
