// The radiotelegraph frame against the fake port and the manual clock: the Q lines,
// the speed slider, Repeat paced by the generator's Q replies, and Close.
#include "generator.h"

#include "instrument/instrument.h"

#include "panel/lamp.h"
#include "presets/presetswindow.h"
#include "presets/telegraphpanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct RadiotelegraphTest : ::testing::Test {
    void SetUp() override {
        rig.connectOn();
        rig.port.takeWritten();
        ui(*rig.window).cwButton->click(); // CW: output off, the frame over the display
        ASSERT_EQ(rig.port.takeLines(), QStringList{"0"});
        ASSERT_FALSE(frame().panel->isHidden());
        ASSERT_TRUE(rig.instrument->telegraphFrameOpen()); // remote OUTP is refused
    }
    TelegraphUi frame() { return ui(*rig.window).telegraph(); }

    PanelRig rig;
    ScriptedGenerator gen{rig};
};

TEST_F(RadiotelegraphTest, SendUpperCasesTheTextAndKeysAtTheSliderSpeed) {
    struct Case {
        int speed;
        const char *line;
    };
    const Case cases[] = {{10, "Q625 CQ CQ DE TEST"},
                          {100, "Q62 CQ CQ DE TEST"},
                          {120, "Q52 CQ CQ DE TEST"},
                          {300, "Q20 CQ CQ DE TEST"}};
    for (const Case &c : cases) {
        frame().speedSlider->setValue(c.speed);
        EXPECT_EQ(frame().speedValueLabel->text(), QString::number(c.speed));
        EXPECT_EQ(rig.record().telegraphSpeed, c.speed);
        frame().textEntry->setText(QStringLiteral("cq cq de test"));
        rig.record().telegraphBusy = 0;
        frame().sendButton->click();
        EXPECT_EQ(rig.port.takeWritten(), QByteArray(c.line) + "\r\n");
        EXPECT_EQ(frame().textEntry->text(), QStringLiteral("CQ CQ DE TEST"));
        EXPECT_TRUE(rig.record().telegraphBusy);
    }
}

TEST_F(RadiotelegraphTest, EnterSendsLikeTheButtonAndInsertsNothing) {
    frame().textEntry->setText(QStringLiteral("vvv"));
    frame().textEntry->setFocus();
    QTest::keyClick(frame().textEntry, Qt::Key_Return);
    QTest::keyClick(frame().textEntry, Qt::Key_Enter);
    EXPECT_EQ(rig.port.takeLines(), (QStringList{"Q62 VVV", "Q62 VVV"}));
    EXPECT_EQ(frame().textEntry->text(), QStringLiteral("VVV"));
}

TEST_F(RadiotelegraphTest, CzechTextGoesOutInCapitalsAsSingleCodePageBytes) {
    // Accented letters become capitals; a letter the code page cannot hold (Cyrillic)
    // and one outside the basic plane each become one "?", so nothing shifts.
    frame().textEntry->setText(QString::fromUtf8("žluťoučký kůň ж\U0001F600"));
    frame().sendButton->click();
    EXPECT_EQ(frame().textEntry->text(), QString::fromUtf8("ŽLUŤOUČKÝ KŮŇ Ж\U0001F600"));
    EXPECT_EQ(rig.port.takeWritten(), QByteArray("Q62 \x8eLU\x8dOU\xc8K\xdd K\xd9\xd2 ??\r\n"));
}

TEST_F(RadiotelegraphTest, ClickIntoTheTextSelectsItFromTheStart) {
    struct Case {
        qsizetype length;
        qsizetype selected;
    };
    rig.window->show();
    for (const Case c : {Case{43, 43}, Case{1500, 1000}}) {
        frame().textEntry->setText(QString(c.length, QLatin1Char('E')));
        frame().textEntry->deselect();
        QTest::mouseClick(frame().textEntry, Qt::LeftButton, {}, QPoint(200, 10));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(frame().textEntry->selectionStart(), 0);
        EXPECT_EQ(frame().textEntry->selectedText().size(), c.selected);
    }
}

TEST_F(RadiotelegraphTest, RepeatSendsOnTheFirstTickAfterEachQReplyAndNeverWhileKeying) {
    // The generator reports the end of each keying 2.5 s after the line.
    gen.answer = [](const QString &line) -> std::optional<ScriptedGenerator::Answer> {
        if (line.startsWith(QLatin1Char('Q')))
            return ScriptedGenerator::Answer{"Q", 2500};
        return std::nullopt;
    };
    frame().repeatBox->setChecked(true);
    frame().sendButton->click();
    std::vector<qint64> qAt; // when each Q line was seen on the port
    std::vector<bool> closeEnabledWhileKeying;
    for (int ms = 0; ms < 12000; ++ms) {
        for (const SentLine &s : gen.run(1))
            if (s.line.startsWith(QLatin1Char('Q')))
                qAt.push_back(s.at);
        const qint64 sinceLast = rig.clock.nowMs() - qAt.back();
        if (sinceLast > 1000 && sinceLast < 2500)
            closeEnabledWhileKeying.push_back(frame().closeButton->isEnabled());
    }
    ASSERT_GE(qAt.size(), 4u);
    for (size_t i = 1; i < qAt.size(); ++i) {
        // The reply is read when it arrives; the next tick follows within 1 s.
        const qint64 replyRead = qAt[i - 1] + 2500 + 1 + 10;
        EXPECT_GE(qAt[i], replyRead) << i;
        EXPECT_LT(qAt[i], replyRead + 1000) << i;
        EXPECT_EQ(qAt[i] % 1000, 0) << "the repeat timer ticks on the second";
    }
    EXPECT_FALSE(closeEnabledWhileKeying.empty());
    for (bool enabled : closeEnabledWhileKeying)
        EXPECT_FALSE(enabled) << "Close is disabled while the generator keys";
}

TEST_F(RadiotelegraphTest, CloseUnticksRepeatRestoresTheDisplayAndSwitchesTheOutputOn) {
    gen.run(1000); // a tick with nothing busy: Close is enabled
    frame().repeatBox->setChecked(true);
    rig.record().carrierFreq = 7050000;
    ASSERT_TRUE(frame().closeButton->isEnabled());
    frame().closeButton->click();
    EXPECT_FALSE(frame().repeatBox->isChecked());
    EXPECT_TRUE(frame().panel->isHidden());
    EXPECT_FALSE(rig.instrument->telegraphFrameOpen());
    EXPECT_FALSE(ui(*rig.window).carrierReadout->isHidden());
    EXPECT_FALSE(ui(*rig.window).modulationReadout->isHidden());
    EXPECT_EQ(ui(*rig.window).carrierReadout->text(), QStringLiteral("7.050.000"))
        << "displayAll ran";
    const auto sent = gen.run(3000);
    EXPECT_EQ(linesOf(sent), QStringList{"1"}) << "no Q line after Close";
}

TEST_F(RadiotelegraphTest, RepeatedLineNeverSplitsTheLinesOfAPresetReadOut) {
    // A slow generator stretches the read-out over several ticks; the repeated Q
    // lines go out between whole K lines.
    gen.answer = [](const QString &line) -> std::optional<ScriptedGenerator::Answer> {
        if (line.startsWith(QLatin1Char('Q')))
            return ScriptedGenerator::Answer{"Q", 5};
        if (line.startsWith(QLatin1Char('K')))
            return ScriptedGenerator::Answer{"K" + line.mid(1).toLatin1() + " 0 0 0 0 0 0", 45};
        return std::nullopt;
    };
    frame().repeatBox->setChecked(true);
    rig.dialogs.modalActions.push_back([](QDialog &d) { d.close(); });
    ui(*rig.window).saveButton->click();
    const auto sent = gen.run(2000);
    const QStringList lines = linesOf(sent);
    // A Q reply ends a query's wait early, so a query may go out again; the presets
    // are still asked in order, and the Q lines are whole lines between them.
    const QString qLine = QStringLiteral("Q62 THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG");
    int lastPreset = 0, qInside = 0;
    for (const QString &l : lines) {
        if (l.startsWith(QLatin1Char('K'))) {
            const int k = l.mid(1).toInt();
            EXPECT_TRUE(k == lastPreset || k == lastPreset + 1) << l.toStdString();
            lastPreset = k;
        } else {
            EXPECT_EQ(l, qLine);
            if (lastPreset >= 1 && lastPreset < 12)
                ++qInside;
        }
    }
    EXPECT_GE(qInside, 1) << "a repeat fell inside the read-out";
    EXPECT_EQ(lastPreset, 12);
    EXPECT_EQ(crlfLines(gen.raw()).join("\r\n") + "\r\n", QString::fromLatin1(gen.raw()))
        << "the bytes are whole lines and nothing else";
}

} // namespace
