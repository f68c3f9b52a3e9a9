// Carrier and modulation dialogs, Up, Down, Step and the direct-entry row.
#include "panelfixture.h"

namespace {

const QStringList Poll = {QStringLiteral("G"), QStringLiteral("I"), QStringLiteral("J"),
                          QStringLiteral("H")};

struct DialogCase {
    const char *name;
    bool carrier; // carrier readout, else modulation readout
    int16_t wideRange;
    std::optional<QString> answer;
    QString expected; // the command sent; empty: nothing
};

std::ostream &operator<<(std::ostream &os, const DialogCase &c) {
    return os << c.name;
}

class FrequencyDialog : public PanelTest, public testing::WithParamInterface<DialogCase> {};

TEST_P(FrequencyDialog, SendsTheAnswerAsTypedOnlyWhenItPassesItsRange) {
    const DialogCase &c = GetParam();
    state().wideRange = c.wideRange;
    state().activePreset = 3;
    window().displayAll();
    answer(c.answer);
    click(c.carrier ? ui(window()).carrierReadout : ui(window()).modulationReadout);

    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].title, c.carrier ? QStringLiteral("Set carrier frequency")
                                                    : QStringLiteral("Set modulation frequency"));
    EXPECT_EQ(rig.dialogs.asked[0].text, c.carrier ? QStringLiteral("Tune to frequency (Hz) : ")
                                                   : QStringLiteral("Modulation freq. (Hz) : "));
    if (c.expected.isEmpty()) {
        rig.advance(1500, 10);
        EXPECT_EQ(sent(), QStringList());
        EXPECT_EQ(state().activePreset, 3);
        EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("P 3"));
        return;
    }
    EXPECT_EQ(sent(), QStringList{c.expected});
    EXPECT_EQ(state().activePreset, 0);
    // 100 ms, then the poll reads back what the generator made of it.
    rig.advance(1400, 10);
    EXPECT_EQ(sent(), Poll);
    EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("MAN"));
}

const QString ManyDigits = QString(400, QLatin1Char('9'));

INSTANTIATE_TEST_SUITE_P(
    Answers, FrequencyDialog,
    testing::Values(
        DialogCase{"Top40", true, 0, QStringLiteral("40000000"), QStringLiteral("F40000000")},
        DialogCase{"Above40", true, 0, QStringLiteral("40000001"), {}},
        DialogCase{"One", true, 0, QStringLiteral("1"), QStringLiteral("F1")},
        DialogCase{"Zero", true, 0, QStringLiteral("0"), {}},
        DialogCase{"Negative", true, 0, QStringLiteral("-5"), {}},
        DialogCase{"Letters", true, 0, QStringLiteral("abc"), {}},
        DialogCase{"Empty", true, 0, QString(), {}},
        DialogCase{"Cancelled", true, 0, std::nullopt, {}},
        DialogCase{"LeadingZeros", true, 0, QStringLiteral("001000"), QStringLiteral("F001000")},
        DialogCase{"Exponent", true, 0, QStringLiteral("4e7"), {}},
        DialogCase{"Fraction", true, 0, QStringLiteral("7050000.5"), {}},
        DialogCase{"Blanks", true, 0, QStringLiteral(" 7050000 "), {}},
        DialogCase{"TrailingLetters", true, 0, QStringLiteral("7050000abc"), {}},
        DialogCase{"PlusSign", true, 0, QStringLiteral("+7050000"), {}},
        DialogCase{"HugeNumber", true, 0, ManyDigits, {}},
        DialogCase{"HugeExponent", true, 0, QStringLiteral("1e99999"), {}},
        DialogCase{"Wide69999999", true, 1, QStringLiteral("69999999"),
                   QStringLiteral("F69999999")},
        DialogCase{"Wide70000000", true, 1, QStringLiteral("70000000"),
                   QStringLiteral("F70000000")},
        DialogCase{"Wide70000001", true, 1, QStringLiteral("70000001"), {}},
        DialogCase{"UnknownRange", true, 2, QStringLiteral("1000"), {}},
        DialogCase{"NegativeRange", true, -1, QStringLiteral("1000"), {}},
        DialogCase{"Mod65535", false, 0, QStringLiteral("65535"), QStringLiteral("A65535")},
        DialogCase{"Mod65536", false, 0, QStringLiteral("65536"), {}},
        DialogCase{"Mod0", false, 0, QStringLiteral("0"), {}},
        DialogCase{"Mod1", false, 0, QStringLiteral("1"), QStringLiteral("A1")},
        DialogCase{"ModAnyRange", false, 2, QStringLiteral("1000"), QStringLiteral("A1000")},
        DialogCase{"ModLetters", false, 0, QStringLiteral("x"), {}},
        DialogCase{"ModHuge", false, 0, ManyDigits, {}}),
    [](const testing::TestParamInfo<DialogCase> &info) { return std::string(info.param.name); });

TEST_F(PanelTest, ASecondClickWhileTheAnswerIsReadBackIsIgnored) {
    answer(QStringLiteral("7000000"));
    answer(QStringLiteral("7100000"));
    click(ui(window()).carrierReadout);
    rig.advance(500, 10);
    click(ui(window()).carrierReadout); // still waiting for the poll
    EXPECT_EQ(rig.dialogs.asked.size(), 1u);
    rig.advance(900, 10);
    EXPECT_EQ(sent(), QStringList{QStringLiteral("F7000000")} + Poll);
    // Finished: the readout opens its dialog again, and the other one was never held.
    click(ui(window()).carrierReadout);
    EXPECT_EQ(sent(), QStringList{QStringLiteral("F7100000")});
}

struct UpDownCase {
    const char *name;
    bool up;
    int16_t wideRange;
    double carrier;
    int32_t step;
    QString expected; // empty: nothing sent, carrier unchanged
    QString readout;
};

std::ostream &operator<<(std::ostream &os, const UpDownCase &c) {
    return os << c.name;
}

class UpDown : public PanelTest, public testing::WithParamInterface<UpDownCase> {};

TEST_P(UpDown, MovesTheCarrierWithinItsLimits) {
    const UpDownCase &c = GetParam();
    state().wideRange = c.wideRange;
    state().carrierFreq = c.carrier;
    tuning().setStep(c.step);
    state().activePreset = 7;
    window().displayAll();
    const QString before = ui(window()).carrierReadout->text();
    (c.up ? ui(window()).upButton : ui(window()).downButton)->click();
    if (c.expected.isEmpty()) {
        EXPECT_EQ(sent(), QStringList());
        EXPECT_EQ(state().carrierFreq, c.carrier);
        EXPECT_EQ(state().activePreset, 7);
        EXPECT_EQ(ui(window()).carrierReadout->text(), before);
        return;
    }
    EXPECT_EQ(sent(), QStringList{c.expected});
    EXPECT_EQ(state().activePreset, 0);
    EXPECT_EQ(ui(window()).carrierReadout->text(), c.readout);
    EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("MAN"));
    // No wait and no poll of its own.
    rig.advance(1500, 10);
    EXPECT_EQ(sent(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, UpDown,
    testing::Values(
        UpDownCase{"UpToTop", true, 0, 39990000, 10000, QStringLiteral("F40000000"),
                   QStringLiteral("40.000.000")},
        UpDownCase{"UpPastTop", true, 0, 40000000, 10000, {}, {}},
        UpDownCase{"UpByOneOverTop", true, 0, 39999999, 10, {}, {}},
        UpDownCase{"WideUpToTop", true, 1, 69000000, 1000000, QStringLiteral("F70000000"),
                   QStringLiteral("70.000.000")},
        UpDownCase{"WideUpPastTop", true, 1, 69999999, 10, {}, {}},
        UpDownCase{"UpUnknownRange", true, 2, 1000, 10000, {}, {}},
        UpDownCase{"UpFromZero", true, 0, 0, 1, QStringLiteral("F1"), QStringLiteral("1")},
        UpDownCase{"DownToZero", false, 0, 10000, 10000, {}, {}},
        UpDownCase{"DownToOne", false, 0, 10001, 10000, QStringLiteral("F1"), QStringLiteral("1")},
        UpDownCase{"DownUnknownRange", false, 2, 20000, 10000, QStringLiteral("F10000"),
                   QStringLiteral("10.000")},
        UpDownCase{"DownFromAboveTheRange", false, 0, 90000000, 1000000,
                   QStringLiteral("F89000000"), QStringLiteral("89.000.000")}),
    [](const testing::TestParamInfo<UpDownCase> &info) { return std::string(info.param.name); });

TEST_F(PanelTest, UpTwiceStopsAtTheTopOfTheRange) {
    state().carrierFreq = 39990000;
    tuning().setStep(10000);
    ui(window()).upButton->click();
    ui(window()).upButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("F40000000")});
    EXPECT_EQ(state().carrierFreq, 40000000);
}

TEST_F(PanelTest, UpAndDownAreDisabledWhileSweeping) {
    state().sweeping = 1;
    window().displayAll();
    EXPECT_FALSE(ui(window()).upButton->isEnabled());
    EXPECT_FALSE(ui(window()).downButton->isEnabled());
    state().sweeping = 0;
    window().displayAll();
    EXPECT_TRUE(ui(window()).upButton->isEnabled());
    EXPECT_TRUE(ui(window()).downButton->isEnabled());
}

TEST_F(PanelTest, StepCyclesThroughTheSevenStepsAndSendsNothing) {
    tuning().setStep(10000);
    const std::pair<int32_t, const char *> cycle[] = {
        {100000, "Step : 100kHz"}, {1000000, "Step : 1MHz"}, {1, "Step : 1Hz"},
        {10, "Step : 10Hz"},       {100, "Step : 100Hz"},    {1000, "Step : 1kHz"},
        {10000, "Step : 10kHz"}};
    for (const auto &[step, line] : cycle) {
        ui(window()).stepButton->click();
        EXPECT_EQ(tuning().step(), step);
        EXPECT_EQ(ui(window()).stepLine->text(), QString::fromLatin1(line));
    }
    EXPECT_EQ(sent(), QStringList());
    // The new step is what Up uses.
    ui(window()).stepButton->click();
    ui(window()).stepButton->click();
    ui(window()).stepButton->click(); // 1 Hz
    ui(window()).upButton->click();
    EXPECT_EQ(sent(), QStringList{QStringLiteral("F7050001")});
}

TEST_F(PanelTest, StepStartsTheCycleAgainFromAStepThatNoLongerFits) {
    tuning().setStep(300000000);
    ui(window()).stepButton->click();
    EXPECT_EQ(tuning().step(), 1);
}

TEST_F(PanelTest, DirectInOpensTheRowFilledFromTheStateAndClosesItAgain) {
    ASSERT_EQ(window().height(), MainWindow::collapsedHeight());
    EXPECT_FALSE(window().rect().contains(ui(window()).directEntryFrame->geometry()));
    state().carrierFreq = 12345678;
    state().modFreq = 65535;
    ui(window()).directInButton->click();
    EXPECT_EQ(window().height(), MainWindow::expandedHeight());
    EXPECT_TRUE(window().rect().contains(ui(window()).directEntryFrame->geometry()));
    EXPECT_EQ(ui(window()).carrierEntry->text(), QStringLiteral("12345678"));
    EXPECT_EQ(ui(window()).modulationEntry->text(), QStringLiteral("65535"));
    EXPECT_EQ(ui(window()).carrierEntry->selectedText(), QStringLiteral("12345678"));
    EXPECT_EQ(window().focusWidget(), ui(window()).carrierEntry);

    ui(window()).carrierEntry->setText(QStringLiteral("42"));
    ui(window()).directInButton->click();
    EXPECT_EQ(window().height(), MainWindow::collapsedHeight());
    EXPECT_EQ(ui(window()).carrierEntry->text(),
              QStringLiteral("42")); // the boxes keep their texts
    EXPECT_EQ(sent(), QStringList());
}

TEST_F(PanelTest, DirectEntryBoxesTakeDigitsOnly) {
    ui(window()).directInButton->click();
    QLineEdit *box = ui(window()).carrierEntry;
    box->clear();
    QTest::keyClicks(box, QStringLiteral("12a3"));
    EXPECT_EQ(box->text(), QStringLiteral("123"));
    QTest::keyClicks(box, QStringLiteral(" .-+eZ,"));
    QTest::keyClick(box, Qt::Key_Backspace); // discarded, as every non-digit character
    EXPECT_EQ(box->text(), QStringLiteral("123"));
    // Keys that type no character still edit.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(box->text(), QStringLiteral("23"));
    // Pasted text is held to digits as well.
    box->insert(QStringLiteral("4x"));
    EXPECT_EQ(box->text(), QStringLiteral("23"));
    box->insert(QStringLiteral("4"));
    EXPECT_EQ(box->text(), QStringLiteral("423"));
    EXPECT_EQ(sent(), QStringList());
}

TEST_F(PanelTest, EnterSendsTheBoxAsItStandsAndPolls) {
    state().activePreset = 5;
    window().displayAll();
    ui(window()).directInButton->click();
    ui(window()).carrierEntry->clear();
    QTest::keyClick(ui(window()).carrierEntry, Qt::Key_Return);
    EXPECT_EQ(rig.port.takeWritten(), QByteArray("F\r\n"));
    EXPECT_EQ(ui(window()).carrierEntry->text(), QString()); // the Enter itself is not typed
    rig.advance(1400, 10);
    EXPECT_EQ(sent(), Poll);

    ui(window()).modulationEntry->setText(QStringLiteral("99999"));
    QTest::keyClick(ui(window()).modulationEntry, Qt::Key_Enter); // the keypad's Enter as well
    EXPECT_EQ(sent(), QStringList{QStringLiteral("A99999")});
    EXPECT_EQ(ui(window()).modulationEntry->selectedText(), QStringLiteral("99999"));
    // No range test, no local change: the poll's replies redraw the panel.
    EXPECT_EQ(state().activePreset, 5);
    EXPECT_EQ(ui(window()).modeLine->text(), QStringLiteral("P 5"));
    rig.advance(1400, 10);
    EXPECT_EQ(sent(), Poll);
}

TEST_F(PanelTest, AClickInADirectEntryBoxSelectsItsText) {
    ui(window()).directInButton->click();
    ui(window()).modulationEntry->setText(QStringLiteral("1000"));
    ui(window()).modulationEntry->deselect();
    click(ui(window()).modulationEntry);
    EXPECT_EQ(ui(window()).modulationEntry->selectedText(), QStringLiteral("1000"));
}

} // namespace
