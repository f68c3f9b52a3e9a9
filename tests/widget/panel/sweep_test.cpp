// The Sweep button: its three dialogs in both languages, the sweep command, Pause, and
// the panel following the generator's W and F replies.
#include "panelfixture.h"

#include "setup/setupdialog.h"

#include <QCheckBox>

namespace {

using Asked = ScriptedDialogs::Asked;

std::vector<std::pair<QString, QString>> titlesAndPrompts(const std::vector<Asked> &asked) {
    std::vector<std::pair<QString, QString>> out;
    for (const Asked &a : asked)
        out.emplace_back(a.title, a.text);
    return out;
}

const std::vector<std::pair<QString, QString>> English = {
    {QStringLiteral("Set upper frequency"), QStringLiteral("Upper frequency (Hz) : ")},
    {QStringLiteral("Set step"), QStringLiteral("Step (Hz) : ")},
    {QStringLiteral("Set sweep interval Flo - Fhi (in sec.) : "), QStringLiteral("Time (sec) : ")},
};
const std::vector<std::pair<QString, QString>> Czech = {
    {QStringLiteral("Nastavení horní frekvence"), QStringLiteral("Horní frekvence (Hz) : ")},
    {QStringLiteral("Nastavení kroku"), QStringLiteral("Step (Hz) : ")},
    {QStringLiteral("Nastavení intervalu Flo - Fhi (v sekundách)"),
     QStringLiteral("Interval (sec) : ")},
};

void expectSweepState(MainWindow &window) {
    EXPECT_EQ(window.instrument().state().sweeping, 1);
    EXPECT_EQ(ui(window).sweepButton->text(), QStringLiteral("Pause"));
    EXPECT_EQ(ui(window).modeLine->text(), QStringLiteral("SWEEP"));
    EXPECT_EQ(ui(window).modKindLine->text(), QStringLiteral("Mod. : Still"));
    EXPECT_TRUE(ui(window).sweepLamp->isLit());
    EXPECT_FALSE(ui(window).upButton->isEnabled());
    EXPECT_FALSE(ui(window).downButton->isEnabled());
}

TEST_F(PanelTest, SweepAsksThreeQuestionsAndSendsTheAnswersAsTyped) {
    const struct {
        std::optional<QString> answers[3];
        const char *command;
    } cases[] = {
        {{QStringLiteral("50000000"), QStringLiteral("1000"), QStringLiteral("10")},
         "W50000000 1000 10"},
        {{std::nullopt, std::nullopt, std::nullopt}, "W  "},
        {{QStringLiteral(" 5e7"), QStringLiteral("abc"), QString()}, "W 5e7 abc "},
        {{QStringLiteral("-1"), std::nullopt, QStringLiteral("0")}, "W-1  0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        reset();
        state().modMode = 0;
        for (const auto &a : c.answers)
            answer(a);
        ui(window()).sweepButton->click();
        EXPECT_EQ(titlesAndPrompts(rig.dialogs.asked), English);
        EXPECT_EQ(sent(), QStringList{QString::fromLatin1(c.command)});
        expectSweepState(window());
    }
}

TEST_F(PanelTest, SweepAsksInCzechWhileTheLanguageBoxIsTicked) {
    // The first sweep creates the setup window that holds the language box.
    rig.dialogs.textAnswers = {std::nullopt, std::nullopt, std::nullopt};
    ui(window()).sweepButton->click();
    rig.reply("#F7050000\r\n");
    rig.port.takeLines();
    rig.dialogs.asked.clear();
    ASSERT_NE(ui(window()).setupDialog(), nullptr);
    SetupDialog &setup = *ui(window()).setupDialog();
    QCheckBox *czechBox = control<QCheckBox>(setup, "czechBox");
    czechBox->setChecked(true);
    ui(window()).sweepButton->click();
    EXPECT_EQ(titlesAndPrompts(rig.dialogs.asked), Czech);
    EXPECT_EQ(sent(), QStringList{QStringLiteral("W  ")});
    EXPECT_FALSE(setup.isVisible()); // reading the box does not show the window

    // Unticked again: the next sweep asks in English.
    rig.reply("#F7050000\r\n");
    rig.dialogs.asked.clear();
    czechBox->setChecked(false);
    ui(window()).sweepButton->click();
    EXPECT_EQ(titlesAndPrompts(rig.dialogs.asked), English);
}

TEST_F(PanelTest, SweepWhileSweepingOnlyPauses) {
    answer(QStringLiteral("8000000"));
    answer(QStringLiteral("1000"));
    answer(QStringLiteral("10"));
    ui(window()).sweepButton->click();
    sent();
    rig.dialogs.asked.clear();
    ui(window()).sweepButton->click();
    ui(window()).sweepButton->click(); // pause, then resume: the generator decides
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("P"), QStringLiteral("P")}));
    EXPECT_TRUE(rig.dialogs.asked.empty());
    expectSweepState(window());
}

TEST_F(PanelTest, ThePanelFollowsTheGeneratorsSweepReports) {
    state().carrierFreq = 10000000;
    window().displayAll();
    rig.reply("#W12000000\r\n");
    expectSweepState(window());
    EXPECT_EQ(ui(window()).carrierReadout->text(), QStringLiteral("12.000.000"));
    rig.reply("#W12345678\r\n");
    EXPECT_EQ(ui(window()).carrierReadout->text(), QStringLiteral("12.345.678"));
    rig.reply("#F10000000\r\n");
    EXPECT_EQ(ui(window()).carrierReadout->text(), QStringLiteral("10.000.000"));
    EXPECT_FALSE(ui(window()).sweepLamp->isLit());
    EXPECT_EQ(ui(window()).sweepButton->text(), QStringLiteral("Sweep"));
    EXPECT_TRUE(ui(window()).upButton->isEnabled());
    EXPECT_EQ(sent(), QStringList());
}

TEST_F(PanelTest, StopResetsTheSweepCaptionAfterAReportedSweep) {
    rig.reply("#W12000000\r\n");
    ui(window()).stopButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("0")});
    EXPECT_EQ(ui(window()).sweepButton->text(), QStringLiteral("Sweep"));
    // The next click asks for a new sweep instead of pausing.
    ui(window()).sweepButton->click();
    EXPECT_EQ(rig.dialogs.asked.size(), 3u);
}

} // namespace
