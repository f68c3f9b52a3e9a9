// Random clicks, keys, dialog answers and generator bytes against the whole main
// window while its procedures wait (poll, preset read-out, dialogs, keying), run under
// the sanitizers in CI. Whatever happens, the program must not crash, must send only
// whole command lines of its own vocabulary, and must leave no timer behind when the
// window goes away in the middle of it all.
#include "tests/support/fakes.h"
#include "tests/support/lines.h"

#include "link/link.h"
#include "panel/lamp.h"
#include "panel/tuning.h"
#include "presets/presetswindow.h"
#include "presets/telegraphpanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

namespace {

const QByteArray Replies[] = {
    "#F7050000\r\n",
    "#F39990000\r\n",
    "#A1000\r\n",
    "#A65535\r\n",
    "#M2\r\n",
    "#M7\r\n",
    "#S0\r\n",
    "#S1\r\n",
    "#W7100000\r\n",
    "#Q\r\n",
    "#B1234\r\n",
    "#T7 3 15\r\n",
    "#Y1455000\r\n",
    "#V1000\r\n",
    "#K3 7050000 1000 2 0 0 0\r\n",
    "#K5 7000000 0 16 7200000 1000 10\r\n",
    "#K9 0 0 0 0 0 0\r\n",
    "#K4\r\n",
    "#F99999999999999999999\r\n",
    "#S70000\r\n",
    "#T1\r\n",
    "KVT20v2.05\r\n",
    "#",
    "\r\n",
};

const char *const Answers[] = {"7050000",
                               "40000000",
                               "40000001",
                               "0",
                               "-5",
                               "abc",
                               "",
                               "001000",
                               "1e400",
                               "65535",
                               "65536",
                               " 12 ",
                               "99999999999999999999"};

QString randomText(std::mt19937 &rng) {
    static const QString alphabet = QStringLiteral("0123456789abcxyzěščřžýáíé #\r\n");
    QString text;
    const int length = static_cast<int>(rng() % 12);
    for (int i = 0; i < length; ++i)
        text += alphabet[static_cast<int>(rng() % alphabet.size())];
    return text;
}

QByteArray randomBytes(std::mt19937 &rng) {
    QByteArray bytes;
    const int length = static_cast<int>(rng() % 40);
    for (int i = 0; i < length; ++i)
        bytes += static_cast<char>(rng() % 256);
    return bytes;
}

// Types the text as key presses, accented letters included.
void typeText(QWidget *widget, const QString &text) {
    for (QChar ch : text) {
        int key = Qt::Key_unknown;
        if (ch == u'\r' || ch == u'\n')
            key = Qt::Key_Return;
        else if (ch.unicode() < 0x80)
            key = ch.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

// Every write the program makes is one or more whole lines of known commands.
int g_linesSent = 0;
QSet<char> g_letters;

void expectWholeCommandLines(const QByteArray &written) {
    if (written.isEmpty())
        return;
    ASSERT_TRUE(written.endsWith("\r\n")) << written.toStdString();
    QByteArray rest;
    const QList<QByteArray> lines = crlfSplit(written, &rest);
    ASSERT_TRUE(rest.isEmpty()) << rest.toStdString();
    for (const QByteArray &line : lines) {
        ASSERT_FALSE(line.isEmpty()) << "an empty command line";
        ASSERT_FALSE(line.contains('\r') || line.contains('\n')) << line.toStdString();
        ASSERT_TRUE(QByteArray("BTGIJHFAM10WPSRKQYVZXU").contains(line[0]))
            << "unknown command " << line.toStdString();
        ++g_linesSent;
        g_letters.insert(line[0]);
    }
}

void monkey(unsigned seed, int actions) {
    std::mt19937 rng(seed);
    PanelRig rig;
    rig.connectOn(2);
    rig.port.takeWritten();
    MainWindow &window = *rig.window;

    auto refillScripts = [&] {
        while (rig.dialogs.textAnswers.size() < 8) {
            if (rng() % 5 == 0)
                rig.dialogs.textAnswers.push_back(std::nullopt);
            else
                rig.dialogs.textAnswers.push_back(
                    QString::fromLatin1(Answers[rng() % std::size(Answers)]));
        }
        while (rig.dialogs.yesNoAnswers.size() < 4)
            rig.dialogs.yesNoAnswers.push_back(rng() % 2 == 0);
        while (rig.dialogs.modalActions.size() < 4) {
            const unsigned pick = rng() % 14;
            rig.dialogs.modalActions.push_back([pick](QDialog &dialog) {
                auto *form2 = qobject_cast<PresetsWindow *>(&dialog);
                if (!form2)
                    return;
                if (pick < 12)
                    QTest::mouseClick(presetCell(*form2, "numberCells", static_cast<int>(pick) + 1),
                                      Qt::LeftButton);
                else if (pick == 12)
                    control<QPushButton>(*form2, "closeButton")->click();
                else
                    form2->reject();
            });
        }
    };

    const std::vector<QPushButton *> buttons = {ui(window).saveButton,
                                                ui(window).recallButton,
                                                ui(window).amModeButton,
                                                ui(window).sweepButton,
                                                ui(window).stopButton,
                                                ui(window).upButton,
                                                ui(window).downButton,
                                                ui(window).infoButton,
                                                ui(window).stepButton,
                                                ui(window).cwButton,
                                                ui(window).directInButton,
                                                ui(window).configButton,
                                                ui(window).telegraph().closeButton,
                                                ui(window).telegraph().sendButton};

    for (int i = 0; i < actions; ++i) {
        refillScripts();
        switch (rng() % 8) {
        case 0:
        case 1: {
            QPushButton *b = buttons[rng() % buttons.size()];
            if (b->isEnabled())
                b->click();
            break;
        }
        case 2:
            QTest::mouseClick(rng() % 2 ? static_cast<QWidget *>(ui(window).carrierReadout)
                                        : static_cast<QWidget *>(ui(window).modulationReadout),
                              Qt::LeftButton);
            break;
        case 3: {
            QLineEdit *boxes[] = {ui(window).carrierEntry, ui(window).modulationEntry,
                                  ui(window).telegraph().textEntry};
            typeText(boxes[rng() % 3], randomText(rng));
            if (rng() % 3 == 0)
                QTest::keyClick(boxes[rng() % 3], Qt::Key_Return);
            break;
        }
        case 4:
            rig.reply(Replies[rng() % std::size(Replies)]);
            break;
        case 5:
            rig.reply(randomBytes(rng));
            break;
        case 6:
            if (rng() % 2)
                ui(window).telegraph().speedSlider->setValue(static_cast<int>(rng() % 320));
            else
                ui(window).telegraph().repeatBox->setChecked(rng() % 2 == 0);
            break;
        default:
            rig.clock.advance(static_cast<int>(rng() % 1500));
            break;
        }
        // The generator answers most preset queries, so the read-out can get through to
        // the presets window and save or recall.
        for (int round = 0; round < 40; ++round) {
            const QByteArray written = rig.port.takeWritten();
            expectWholeCommandLines(written);
            if (::testing::Test::HasFatalFailure())
                return;
            QByteArray answers;
            for (const QByteArray &line : crlfSplit(written))
                if (line.startsWith('K') && rng() % 5 != 0)
                    answers += "#K" + line.mid(1).trimmed() + " 7050000 1000 2 0 0 0\r\n";
            if (answers.isEmpty())
                break;
            rig.reply(answers);
        }
        const int32_t step = window.findChild<Tuning *>()->step();
        ASSERT_TRUE(step == 1 || step == 10 || step == 100 || step == 1000 || step == 10000 ||
                    step == 100000 || step == 1000000)
            << step;
        ASSERT_GE(window.instrument().state().telegraphSpeed, 1);
        ASSERT_LE(window.instrument().state().telegraphSpeed, 300);
    }
    // The window goes away in the middle of whatever it was doing.
    rig.endProgram();
    rig.clock.advance(60000);
    EXPECT_EQ(rig.clock.pendingCount(), 0) << "a timer outlived the window";
}

TEST(Monkey, RandomUseNeverCrashesAndSendsOnlyWholeCommandLines) {
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE(seed);
        monkey(seed, 500);
        if (HasFatalFailure())
            return;
    }
    // The monkey really reached the panel's procedures: presets, sweeps, keying, tuning.
    EXPECT_GT(g_linesSent, 1000);
    for (char letter : {'K', 'S', 'R', 'W', 'P', 'Q', 'F', 'A', 'M', '0', '1', 'G'})
        EXPECT_TRUE(g_letters.contains(letter)) << letter;
}

} // namespace
