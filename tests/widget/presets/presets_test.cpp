// Preset save and recall with the presets window, against the fake port, the manual
// clock and scripted dialogs.
#include "generator.h"

#include "instrument/presetsetfile.h"
#include "link/link.h"
#include "panel/lamp.h"
#include "presets/presetcontrol.h"
#include "presets/presetswindow.h"
#include "setup/setupdialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The generator's presets, as K replies; a preset missing from the map is never
// answered.
std::map<int, QByteArray> factoryPresets() {
    std::map<int, QByteArray> records;
    for (int k = 1; k <= 12; ++k)
        records[k] = QByteArray::number(k) + " 0 0 0 0 0 0";
    records[1] = "1 7050000 1000 2 0 0 0";
    records[5] = "5 7000000 0 16 7200000 1000 10";
    records[12] = "12 14070000 800 1 0 0 0";
    return records;
}

struct PresetsTest : ::testing::Test {
    void SetUp() override {
        rig.connectOn();
        rig.port.takeWritten();
        gen.answer = [this](const QString &line) -> std::optional<ScriptedGenerator::Answer> {
            if (stores && !line.isEmpty())
                if (auto a = answerAsMemory(line))
                    return a;
            if (!line.startsWith(QLatin1Char('K')))
                return std::nullopt;
            const auto it = records.find(line.mid(1).toInt());
            if (it == records.end())
                return std::nullopt;
            return ScriptedGenerator::Answer{"K" + it->second, kDelayMs};
        };
    }

    PresetsWindow &table() { return ui(*rig.window).presetsWindow(); }
    QLabel *numberCell(int k) { return presetCell(table(), "numberCells", k); }
    // What the user does in the presets window: click a number, or Close.
    void willPick(int k) {
        rig.dialogs.modalActions.push_back(
            [this, k](QDialog &) { QTest::mouseClick(numberCell(k), Qt::LeftButton); });
    }
    void willClose() {
        rig.dialogs.modalActions.push_back([this](QDialog &) {
            QTest::mouseClick(control<QPushButton>(table(), "closeButton"), Qt::LeftButton);
        });
    }
    QStringList asked(const QString &kind) {
        QStringList out;
        for (const auto &a : rig.dialogs.asked)
            if (a.kind == kind)
                out << a.title + QLatin1Char('|') + a.text;
        return out;
    }
    static QStringList kLines(int from = 1, int to = 12) {
        QStringList out;
        for (int k = from; k <= to; ++k)
            out << QStringLiteral("K%1").arg(k);
        return out;
    }

    // With `stores`, F, A and M set what S stores, and G, I and J ask for them.
    std::optional<ScriptedGenerator::Answer> answerAsMemory(const QString &line) {
        static const std::map<char, char> asks{{'G', 'F'}, {'I', 'A'}, {'J', 'M'}};
        const char letter = line.at(0).toLatin1();
        const QByteArray value = line.mid(1).toLatin1();
        if (held.count(letter))
            held[letter] = value;
        else if (asks.count(letter))
            return ScriptedGenerator::Answer{asks.at(letter) + held[asks.at(letter)]};
        else if (letter == 'H')
            return ScriptedGenerator::Answer{"S0"};
        else if (letter == 'S')
            records[value.toInt()] =
                value + ' ' + held['F'] + ' ' + held['A'] + ' ' + held['M'] + " 0 0 0";
        return std::nullopt;
    }

    // MR opens the presets window, where the user clicks the file button `button`; the
    // generator runs until the file's work is done, the window must still be open
    // without a choice, and the user closes it. The lines sent from the click on.
    QStringList useFileButton(const char *button, const std::function<void()> &beforeClick) {
        QStringList lines;
        rig.dialogs.modalActions.push_back([&](QDialog &d) {
            beforeClick();
            control<QPushButton>(d, button)->click();
            lines = linesOf(gen.run(5000));
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(table().chosenPreset(), 0);
            QTest::mouseClick(control<QPushButton>(d, "closeButton"), Qt::LeftButton);
        });
        ui(*rig.window).recallButton->click();
        return lines + linesOf(gen.run(1000)).filter(QRegularExpression("^[^K]"));
    }
    QString lastMessage() { return rig.dialogs.asked.back().text; }
    static QByteArray contentOf(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
    // The factory set as a file saved on 9 December 2026 at 14:03:12 from serial 1234.
    static QByteArray factoryFile() {
        QByteArray text = "# KVT 20 serial 1234 firmware 2.05 2026-12-09 14:03:12\n"
                          "preset,carrier_hz,tone_hz,mode,top_hz,step_hz,interval_s\n";
        for (auto [k, record] : factoryPresets())
            text += record.replace(' ', ',') + '\n';
        return text;
    }

    PanelRig rig;
    ScriptedGenerator gen{rig};
    std::map<int, QByteArray> records = factoryPresets();
    qint64 kDelayMs = 0;
    bool stores = false;
    std::map<char, QByteArray> held{{'F', "7050000"}, {'A', "1000"}, {'M', "2"}};
};

TEST_F(PresetsTest, ReadOutAsksEachPresetOnceInOrderAndMovesOnAtEachReply) {
    const qint64 start = rig.clock.nowMs();
    auto task = ui(*rig.window).presets->readPresets();
    std::vector<SentLine> sent;
    qint64 end = -1;
    for (int i = 0; i < 1000 && end < 0; ++i) {
        for (auto &s : gen.run(1))
            sent.push_back(s);
        if (task.isReady())
            end = rig.clock.nowMs();
    }
    ASSERT_GE(end, 0);
    EXPECT_EQ(linesOf(sent), kLines());
    // Each reply is read when it arrives; no query waits out its 50 ms.
    EXPECT_LT(end - start, 200);
    EXPECT_TRUE(asked(QStringLiteral("message")).isEmpty());
    EXPECT_FALSE(table().isVisible()) << "the read-out does not show the window";
    EXPECT_EQ(table().row(1),
              (Presets::RowTexts{"1", "7050000 Hz", "1000 Hz", "Beep", "", "", ""}));
    EXPECT_EQ(table().row(5), (Presets::RowTexts{"5", "7000000 Hz", "0 Hz", "Sweep", "7200000 Hz",
                                                 "1000 Hz", "10 sec."}));
    EXPECT_EQ(table().row(9), (Presets::RowTexts{"9", "", "", ".....", "", "", ""}));
}

TEST_F(PresetsTest, EveryKindOfRecordFillsItsRowAndNoneStopsTheReadOut) {
    records[3] = "3 7050000 1000 2 0 0 0";
    records[4] = "4 3650000 0 14 3700000 10 1";    // mode 14: no name, no sweep cells
    records[6] = "6 3650000 0 15 3700000 10 1";    // mode 15: a sweep
    records[8] = "8 7000000 0";                    // too short
    records[10] = "garbage";                       // no space at all
    records[11] = "11 7000000 0 1 0 0 0 trailing"; // the seventh field takes the rest
    std::map<int, Presets::RowTexts> expected{
        {3, {"3", "7050000 Hz", "1000 Hz", "Beep", "", "", ""}},
        {4, {"4", "3650000 Hz", "0 Hz", "", "", "", ""}},
        {6, {"6", "3650000 Hz", "0 Hz", "Sweep", "3700000 Hz", "10 Hz", "1 sec."}},
        {8, {"8", "", "", "", "", "", ""}},
        {10, {"10", "", "", "", "", "", ""}},
        {11, {"11", "7000000 Hz", "0 Hz", "Tone", "", "", ""}},
    };
    auto task = ui(*rig.window).presets->readPresets();
    const auto sent = gen.run(1000);
    ASSERT_TRUE(task.isReady());
    EXPECT_EQ(linesOf(sent), kLines()) << "each preset once";
    EXPECT_TRUE(rig.dialogs.asked.empty()) << "no message for records that cannot be used";
    EXPECT_TRUE(asked(QStringLiteral("message")).isEmpty());
    for (const auto &[k, row] : expected)
        EXPECT_EQ(table().row(k), row) << "row " << k;
}

TEST_F(PresetsTest, EveryRowIsRightWhateverOtherFramesArriveDuringTheReadOut) {
    kDelayMs = 5;
    const auto readOut = [this] {
        auto task = ui(*rig.window).presets->readPresets();
        std::vector<SentLine> sent;
        for (int i = 0; i < 5000 && !task.isReady(); ++i)
            for (auto &s : gen.run(1))
                sent.push_back(s);
        EXPECT_TRUE(task.isReady());
        gen.run(100); // whatever was still due
        return linesOf(sent);
    };
    const auto rows = [this] {
        std::vector<Presets::RowTexts> out;
        for (int k = 1; k <= 12; ++k)
            out.push_back(table().row(k));
        return out;
    };
    ASSERT_EQ(readOut(), kLines());
    const auto undisturbed = rows();

    // What arrives unasked while preset p is being read; "late answer" is a second
    // answer to the previous query, as when that query had been sent twice.
    struct Stray {
        const char *name;
        std::function<QByteArray(int p)> frames;
    };
    const Stray strays[] = {
        {"poll replies", [](int) { return QByteArray("#F7050000\r\n#A1000\r\n#M1\r\n#S1\r\n"); }},
        {"sweep reports", [](int) { return QByteArray("#W7001000\r\n#W7002000\r\n"); }},
        {"telegraph done", [](int) { return QByteArray("#Q\r\n"); }},
        {"late answer",
         [this](int p) { return "#K" + records[static_cast<int>(p == 1 ? 12 : p - 1)] + "\r\n"; }},
    };
    // 2 ms after the query in a read of its own, or in the same read as the answer.
    for (const qint64 at : {qint64(2), kDelayMs}) {
        for (const Stray &stray : strays) {
            for (int p = 1; p <= 12; ++p) {
                SCOPED_TRACE(testing::Message()
                             << stray.name << " at " << at << " ms, preset " << p);
                const auto answer = gen.answer;
                gen.answer = [&, p](const QString &line) {
                    if (line == QStringLiteral("K%1").arg(p))
                        gen.sendIn(at, stray.frames(p));
                    return answer(line);
                };
                for (int k = 1; k <= 12; ++k)
                    table().setRow(k, Presets::emptyRow(k));
                EXPECT_EQ(readOut(), kLines()) << "no query waited out or sent twice";
                EXPECT_EQ(rows(), undisturbed);
                gen.answer = answer;
            }
        }
    }
}

TEST_F(PresetsTest, AGeneratorSlowerThanTheQueryWaitStillFillsEveryRow) {
    // Each query's 50 ms run out before its record, so each is sent again and answered
    // twice: the second answer arrives while the next preset is being read.
    kDelayMs = 70;
    auto task = ui(*rig.window).presets->readPresets();
    const auto sent = gen.run(5000);
    ASSERT_TRUE(task.isReady());
    QStringList twice;
    for (const QString &line : kLines())
        twice << line << line;
    EXPECT_EQ(linesOf(sent), twice);
    for (const ScriptedDialogs::Asked &asked : rig.dialogs.asked)
        EXPECT_NE(asked.text, QStringLiteral("Communication error"));
    for (const auto &[k, record] : records)
        EXPECT_EQ(table().row(k), Presets::rowFor(k, QString::fromLatin1(record))) << k;
}

TEST_F(PresetsTest, SilentGeneratorIsAsked29TimesThenOneMessageAndNothingMore) {
    records.erase(1);
    rig.dialogs.yesNoAnswers.push_back(true);
    ui(*rig.window).saveButton->click();
    const auto sent = gen.run(5000);
    const QStringList lines = linesOf(sent);
    EXPECT_EQ(lines, QStringList(29, QStringLiteral("K1")));
    for (size_t i = 2; i < 29; ++i)
        EXPECT_EQ(sent[i].at - sent[i - 1].at, 50) << "the queries go out 50 ms apart";
    EXPECT_EQ(asked(QStringLiteral("message")),
              QStringList{QStringLiteral("KVT Control Panel|Communication error")});
    EXPECT_TRUE(asked(QStringLiteral("modal")).isEmpty());
    EXPECT_TRUE(asked(QStringLiteral("yesno")).isEmpty());
    EXPECT_TRUE(ui(*rig.window).saveButton->isEnabled()) << "MS can be tried again";
    EXPECT_TRUE(ui(*rig.window).recallButton->isEnabled());
}

TEST_F(PresetsTest, TheWindowGoingAwayDuringCommunicationErrorIsNotTouchedAfterwards) {
    // The generator is silent: the read-out gives up with its modal message, during
    // which the main window goes away with the presets buttons.
    for (const bool save : {true, false}) {
        SCOPED_TRACE(save ? "save" : "recall");
        PanelRig fresh;
        fresh.connectOn();
        bool asked = false;
        fresh.dialogs.whileAsking = [&] {
            asked = true;
            fresh.endProgram();
        };
        (save ? ui(*fresh.window).saveButton : ui(*fresh.window).recallButton)->click();
        fresh.advance(3000);
        EXPECT_TRUE(asked);
        EXPECT_EQ(fresh.clock.pendingCount(), 0);
    }
}

TEST_F(PresetsTest, SaveAsksForConfirmationAndSendsOnlyOnYes) {
    struct Case {
        bool yes;
        QStringList tail;
        QString mode;
    };
    for (const Case &c : {Case{true, {"S5"}, "P 5"}, Case{false, {}, "MAN"}}) {
        rig.dialogs.asked.clear();
        rig.record().activePreset = 0;
        rig.window->displayAll();
        willPick(5);
        rig.dialogs.yesNoAnswers.push_back(c.yes);
        ui(*rig.window).saveButton->click();
        const auto sent = gen.run(500);
        EXPECT_EQ(linesOf(sent), kLines() + c.tail) << "yes " << c.yes;
        EXPECT_EQ(asked(QStringLiteral("yesno")),
                  QStringList{QStringLiteral("Confirm|Save to preset 5 - OK ?")});
        EXPECT_EQ(ui(*rig.window).modeLine->text(), c.mode);
        EXPECT_EQ(rig.record().activePreset, c.yes ? 5 : 0);
        EXPECT_TRUE(ui(*rig.window).saveButton->isEnabled());
    }
}

TEST_F(PresetsTest, RecallSendsTheNumberThenPollsAndShowsThePreset) {
    willPick(12);
    ui(*rig.window).recallButton->click();
    const auto sent = gen.run(2000);
    QStringList lines = linesOf(sent, true);
    ASSERT_EQ(lines, kLines() + (QStringList{"R12", "G", "I", "J", "H"}));
    EXPECT_TRUE(asked(QStringLiteral("yesno")).isEmpty()) << "a recall asks nothing";
    // R12, 100 ms, then the poll's own 1 s wait and its queries 100 ms apart.
    EXPECT_NEAR(sent[13].at - sent[12].at, 1100, 1);
    EXPECT_NEAR(sent[16].at - sent[13].at, 300, 1);
    EXPECT_EQ(ui(*rig.window).modeLine->text(), QStringLiteral("P 12"));
    EXPECT_EQ(rig.record().activePreset, 12);
}

TEST_F(PresetsTest, ClosingTheWindowWithoutAChoiceSendsNothing) {
    // A number picked earlier must not be acted on when the window is later closed,
    // whether by Close or by the window's own close control.
    willPick(3);
    rig.dialogs.yesNoAnswers.push_back(false);
    ui(*rig.window).saveButton->click();
    gen.run(500);
    ASSERT_EQ(table().chosenPreset(), 3);

    const std::function<void(QDialog &)> closers[] = {
        [this](QDialog &) {
            QTest::mouseClick(control<QPushButton>(table(), "closeButton"), Qt::LeftButton);
        },
        [](QDialog &d) { d.close(); },
        [](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); },
    };
    for (const auto &close : closers) {
        rig.dialogs.asked.clear();
        rig.dialogs.modalActions.push_back(close);
        rig.dialogs.yesNoAnswers.push_back(true);
        ui(*rig.window).recallButton->click();
        const auto sent = gen.run(2000);
        EXPECT_EQ(linesOf(sent), kLines());
        EXPECT_EQ(table().chosenPreset(), 0);
        EXPECT_EQ(rig.record().activePreset, 0);
        EXPECT_TRUE(asked(QStringLiteral("yesno")).isEmpty());
    }
}

TEST_F(PresetsTest, TheLastNumberTouchedStaysRedAcrossShowings) {
    PresetsWindow *first = &table();
    rig.dialogs.modalActions.push_back([this](QDialog &d) {
        QTest::mouseMove(numberCell(2));
        QTest::mouseMove(numberCell(7));
        d.close();
    });
    ui(*rig.window).saveButton->click();
    gen.run(500);
    auto colour = [this](int k) { return numberCell(k)->palette().color(QPalette::Window); };
    EXPECT_EQ(table().highlighted(), 7);

    QColor seen[13];
    rig.dialogs.modalActions.push_back([&](QDialog &) {
        for (int k = 1; k <= 12; ++k)
            seen[k] = colour(k);
        QTest::mouseClick(numberCell(9), Qt::LeftButton);
    });
    ui(*rig.window).recallButton->click();
    gen.run(2000);
    EXPECT_EQ(&table(), first) << "the window is reused, not recreated";
    for (int k = 1; k <= 12; ++k)
        EXPECT_EQ(seen[k],
                  k == 7 ? PresetsWindow::HighlightColour : PresetsWindow::NumberBackground)
            << k;
    EXPECT_EQ(rig.record().activePreset, 9);
}

TEST_F(PresetsTest, WindowShowsItsTableCentredOnTheScreen) {
    QRect frame, screen;
    rig.dialogs.modalActions.push_back([&](QDialog &d) {
        frame = d.frameGeometry();
        screen = d.screen()->availableGeometry();
        d.close();
    });
    ui(*rig.window).saveButton->click();
    gen.run(500);
    EXPECT_LE((frame.center() - screen.center()).manhattanLength(), 2);

    PresetsWindow &t = table();
    EXPECT_EQ(t.windowTitle(), QStringLiteral("KVT Presets"));
    EXPECT_EQ(control<QLabel>(t, "headerLabel")->text(),
              QStringLiteral("Preset               Carrier freq.    Modulation freq.   Mode      "
                             "             Top freq.              Step            Interval     "));
    EXPECT_EQ(control<QLabel>(t, "hintLabel")->text(),
              QStringLiteral("Click to preset number for select..."));
    EXPECT_EQ(control<QPushButton>(t, "closeButton")->text(), QStringLiteral("Close"));
    // The file buttons stand left of Close.
    EXPECT_LT(control(t, "saveFileButton")->geometry().right(), control(t, "loadFileButton")->x());
    EXPECT_LT(control(t, "loadFileButton")->geometry().right(), control(t, "closeButton")->x());
    for (int r = 0; r < 12; ++r) {
        EXPECT_EQ(presetCell(t, "numberCells", r + 1)->alignment(), Qt::AlignCenter);
        EXPECT_TRUE(presetCell(t, "carrierCells", r + 1)->alignment() & Qt::AlignRight);
        EXPECT_TRUE(presetCell(t, "intervalCells", r + 1)->alignment() & Qt::AlignRight);
        EXPECT_TRUE(presetCell(t, "modeCells", r + 1)->alignment() & Qt::AlignLeft);
        // Columns left to right: number, carrier, modulation, mode, top, step, interval.
        const QLabel *order[] = {
            presetCell(t, "numberCells", r + 1),     presetCell(t, "carrierCells", r + 1),
            presetCell(t, "modulationCells", r + 1), presetCell(t, "modeCells", r + 1),
            presetCell(t, "topCells", r + 1),        presetCell(t, "stepCells", r + 1),
            presetCell(t, "intervalCells", r + 1)};
        for (int c = 1; c < 7; ++c)
            EXPECT_GT(order[c]->x(), order[c - 1]->x() + order[c - 1]->width() - 1);
        // Presets 1, 3, 5, ... on a white band; the others on the window's background.
        const QWidget *band = t.findChild<QWidget *>(QStringLiteral("Band%1").arg(r + 1));
        EXPECT_EQ(band != nullptr, r % 2 == 0) << r;
        if (band) {
            EXPECT_EQ(band->palette().color(QPalette::Window), QColor(Qt::white));
            EXPECT_EQ(band->y(), presetCell(t, "numberCells", r + 1)->y() - 1);
        }
    }
}

TEST_F(PresetsTest, SecondClickWhileReadingIsIgnored) {
    kDelayMs = 30;
    willPick(2);
    rig.dialogs.yesNoAnswers = {true, true};
    ui(*rig.window).saveButton->click();
    auto sent = gen.run(50);
    ui(*rig.window).saveButton->click();
    ui(*rig.window).recallButton->click();
    for (const auto &s : gen.run(3000))
        sent.push_back(s);
    EXPECT_EQ(linesOf(sent, true), kLines() + QStringList{"S2"});
    EXPECT_EQ(asked(QStringLiteral("modal")).size(), 1);
}

// Save to file...: the twelve presets read afresh, written whole or not at all; the
// window stays open and picks nothing.
TEST_F(PresetsTest, SaveToFileWritesOnlyAfterAllTwelveWereReadCleanly) {
    rig.record().deviceId = 1234;
    QTemporaryDir files;
    struct Case {
        std::function<void()> fault; // of the generator, once the window is open
        const char *file;            // where the user saves
        QByteArray content;          // the file afterwards ("old": it held that before)
        const char *says;
    };
    const Case cases[] = {
        {[] {}, "a.csv", factoryFile(), "The twelve presets were saved to"},
        {[this] { records.erase(7); }, "b.csv", "old", "could not all be read"},
        {[this] { records[10] = "garbage"; }, "c.csv", "old", "could not all be read"},
        {[] {}, "none/d.csv", "<none>", "could not be saved to"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        records = factoryPresets();
        const QString path = files.filePath(QString::fromLatin1(c.file));
        QFile old(path);
        ASSERT_TRUE(c.content != "old" ||
                    (old.open(QIODevice::WriteOnly) && old.write("old") == 3));
        old.close();
        rig.dialogs.fileAnswers = {path};
        EXPECT_EQ(useFileButton("saveFileButton", c.fault).filter(QRegularExpression("^[^K]")),
                  QStringList());
        EXPECT_EQ(contentOf(path), c.content);
        EXPECT_TRUE(lastMessage().contains(QLatin1String(c.says))) << lastMessage().toStdString();
    }
}

// Load from file...: the file and its rows checked before anything is sent; the set
// the generator holds kept before the first line goes out; the end told as it was.
TEST_F(PresetsTest, LoadFromFileChecksFirstKeepsTheHeldSetAndTellsTheEnd) {
    stores = true;
    rig.record().deviceId = 1234;
    QTemporaryDir files;
    const QString keptName = "presets-1234-20261209-140312.csv";
    const QByteArray header = "preset,carrier_hz,tone_hz,mode,top_hz,step_hz,interval_s\n";
    // Presets 2 and 12 differ, 1 does not, 3 is not in use.
    const QByteArray changes = "# KVT 20 serial 99\n" + header +
                               "2,3550000,700,1,0,0,0\n3,0,0,0,0,0,0\n12,14070000,800,3,,,\n"
                               "1,7050000,1000,2,0,0,0\n";
    struct Case {
        const char *name;
        QByteArray file;
        int yes;            // the answer to the question; -1: none is asked
        const char *during; // "cancel" after the first preset, "unplug" at S12
        const char *stored; // the S lines sent
        QString kept;       // the kept file's name, empty for none
        const char *says;   // in the last message
    };
    const QString keptTwice = "presets-1234-20261209-140312-2.csv";
    const Case cases[] = {
        {"bad cell", header + "1,7050000,1000,2,0,0,0\n2,70x0000,0,1,0,0,0\n", -1, "", "", "",
         "Line 3, column carrier_hz"},
        {"over the range", header + "1,7050000,1000,2,0,0,0\n2,50000000,0,1,0,0,0\n", -1, "", "",
         "", "Line 3, column carrier_hz"},
        {"nothing differs", QByteArray(header).replace(',', ';') + "12;14070000;800;1;0;0;0\n", -1,
         "", "", "", "nothing differs"},
        {"answered No", changes, 0, "", "", "", ""},
        {"loaded", changes, 1, "", "S2 S12", keptName,
         "2 presets written and checked (1 unchanged, 1 not in use)"},
        {"kept that second already", changes, 1, "", "S2 S12", keptTwice, ""},
        {"cancelled", changes, 1, "cancel", "S2", keptName,
         "cancelled. Written and checked before that: 2."},
        {"line lost", changes, 1, "unplug", "S2 S12", keptName,
         "before that: 2.\nNot written, or written without being read back: 12."},
        // The language box ticked while the window is open: the rest runs in Czech.
        {"bad cell, in Czech", header + "2,70x0000,0,1,0,0,0\n", -1, "", "", "",
         "Řádek 2, sloupec carrier_hz: \"70x0000\" není celé číslo"},
        {"over the range, in Czech", header + "2,50000000,0,1,0,0,0\n", -1, "", "", "",
         "Řádek 2, sloupec carrier_hz: nosná frekvence 50000000 Hz je mimo rozsah 1-40000000 Hz"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        records = factoryPresets();
        for (const QString &old : QDir(rig.folder.path()).entryList({"presets-*"}, QDir::Files))
            QFile::remove(rig.folder.filePath(old));
        const QString kept = rig.folder.filePath(c.kept);
        if (c.kept == keptTwice) {
            QFile earlier(rig.folder.filePath(keptName));
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        }
        const QString path = files.filePath(QString::fromLatin1(c.name) + ".csv");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.file) == c.file.size());
        file.close();
        rig.dialogs.fileAnswers = {path};
        rig.dialogs.yesNoAnswers = {c.yes == 1};
        rig.dialogs.cancelAt = c.during == QLatin1String("cancel") ? 1 : -1;
        rig.dialogs.asked.clear();
        bool keptBeforeFirstF = false;
        bool sentF = false;
        rig.port.onWrite = [&](const QByteArray &bytes) {
            if (bytes.startsWith('F') && !std::exchange(sentF, true))
                keptBeforeFirstF = QFileInfo::exists(kept);
        };
        const auto answer = gen.answer;
        gen.answer = [&, answer](const QString &line) {
            if (c.during == QLatin1String("unplug") && line == QStringLiteral("S12"))
                rig.port.unplug();
            return answer(line);
        };

        const bool inCzech = QByteArrayView(c.name).endsWith("in Czech");
        if (inCzech && !ui(*rig.window).recallButton->isEnabled()) {
            // The line lost before comes back: the port reopens, the generator answers.
            for (int waited = 0; !rig.port.isOpen() && waited < 2000; waited += 10)
                rig.advance(10);
            rig.reply("KVT20v2.05\r\n");
        }
        const QStringList lines = useFileButton("loadFileButton", [&] {
            QCheckBox *box = control<QCheckBox>(*ui(*rig.window).setupDialog(), "czechBox");
            if (inCzech && !box->isChecked())
                box->click();
        });
        rig.port.onWrite = nullptr;
        gen.answer = answer;
        EXPECT_EQ(lines.filter(QRegularExpression("^S")).join(' '), c.stored);
        EXPECT_EQ(asked(QStringLiteral("yesno")).size(), c.yes < 0 ? 0u : 1u);
        EXPECT_TRUE(lastMessage().contains(c.says) && lastMessage().contains(c.kept))
            << lastMessage().toStdString();
        if (c.kept.isEmpty()) {
            EXPECT_EQ(QDir(rig.folder.path()).entryList({"presets-*"}, QDir::Files), QStringList());
            EXPECT_FALSE(sentF);
            continue;
        }
        EXPECT_TRUE(keptBeforeFirstF);
        EXPECT_EQ(contentOf(kept), factoryFile());
        if (c.kept == keptTwice) {
            EXPECT_EQ(contentOf(rig.folder.filePath(keptName)), "earlier") << "not overwritten";
        }
        // The table shows what the generator holds after the load, read afresh.
        if (c.during != QLatin1String("unplug")) {
            EXPECT_EQ(table().row(2).carrier, QStringLiteral("3550000 Hz"));
        }
    }
}

} // namespace
