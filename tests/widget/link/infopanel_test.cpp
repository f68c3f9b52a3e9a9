// The information panel: the values it shows after re-reading B and T, the underline
// of "Firmware version :", OK, the service-mode key sequence, the production-date
// stamp, and the firmware-update window reached from it.
#include "tests/support/fakes.h"
#include "tests/support/intelhex.h"

#include "instrument/firmwareupdate.h"
#include "setup/firmwareupdatedialog.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class InfoPanelTest : public testing::Test {
protected:
    void SetUp() override {
        rig.today = QDate(2015, 3, 7);
        rig.connectOn(2, "KVT20v2.05\r\n");
        rig.port.takeLines();
    }

    QWidget *panel() { return rig.window->findChild<QWidget *>(QStringLiteral("infoPanel")); }
    QLabel *label(const char *name) { return panel()->findChild<QLabel *>(QLatin1String(name)); }
    QPushButton *ok() { return panel()->findChild<QPushButton *>(QStringLiteral("okButton")); }

    // The lines sent apart from the poll's.
    QStringList sent() {
        QStringList lines = rig.port.takeLines();
        lines.removeIf([](const QString &l) {
            return l == QLatin1String("G") || l == QLatin1String("I") || l == QLatin1String("J") ||
                   l == QLatin1String("H");
        });
        return lines;
    }
    // Info, answered by the generator with these replies to B and T (empty: silent).
    void info(const QByteArray &b, const QByteArray &t) {
        QTest::mouseClick(ui(*rig.window).infoButton, Qt::LeftButton);
        answer(b, t);
    }
    void answer(const QByteArray &b, const QByteArray &t) {
        if (!b.isEmpty())
            rig.reply(b);
        rig.advance(100, 10);
        if (!t.isEmpty())
            rig.reply(t);
        rig.advance(100, 10);
    }
    void typeOnOk(const QString &keys) {
        for (QChar c : keys)
            QTest::keyClick(ok(), c.toLatin1());
    }
    bool serviceModeShown() {
        return label("serialValue")->font().bold() && label("dateValue")->font().bold();
    }

    PanelRig rig;
};

TEST_F(InfoPanelTest, ShowsWhatTheGeneratorToldOverTheDisplay) {
    EXPECT_FALSE(panel()->isVisible());
    info("#B1234\r\n", "#T7 3 15\r\n");
    EXPECT_EQ(sent(), (QStringList{"B", "T"}));
    ASSERT_TRUE(panel()->isVisible());
    // 240 twips from the window's left and top, the display's size.
    EXPECT_EQ(panel()->geometry(),
              QRect(QPoint(20, 20), ui(*rig.window).displayWindow->geometry().size()));

    const std::pair<const char *, const char *> shown[] = {
        {"modelValue", "KVT 20"},
        {"serialValue", "TNV1234"},
        {"dateValue", "07.03.2015"},
        {"firmwareValue", "2.05"},
        {"portValue", "COM2"},
        {"connectionValue", "115200,n,8,1"},
        {"programVersion", "version 3.2.3"},
        {"firmwareCaption", "Firmware version :"},
    };
    for (const auto &[name, text] : shown)
        EXPECT_EQ(label(name)->text(), QLatin1String(text)) << name;
    EXPECT_TRUE(label("firmwareCaption")->font().underline());
    EXPECT_EQ(rig.window->focusWidget(), ok());

    QTest::mouseClick(ok(), Qt::LeftButton);
    EXPECT_FALSE(panel()->isVisible());
}

TEST_F(InfoPanelTest, SilentGeneratorLeavesTheValuesKnownAndNoUnderline) {
    info({}, {});
    EXPECT_EQ(sent(), (QStringList{"B", "T"}));
    EXPECT_EQ(label("serialValue")->text(), QStringLiteral("TNV0"));
    EXPECT_FALSE(label("firmwareCaption")->font().underline());

    // Answered now, then silent again: the answer stays and the underline follows it.
    info("#B77\r\n", {});
    info({}, {});
    EXPECT_EQ(label("serialValue")->text(), QStringLiteral("TNV77"));
    EXPECT_TRUE(label("firmwareCaption")->font().underline());
}

TEST_F(InfoPanelTest, KeySequenceOnOkUnlocksServiceMode) {
    struct Case {
        const char *keys;
        bool unlocked;
        bool bold; // once shown, the bold type stays until the program ends
    };
    const Case cases[] = {
        {"qrfz", true, true},
        {"qxrafbz", true, true}, // wrong keys between the letters do not reset it
        {"aqrfz", true, true},
        {"QRFZ", false, false}, // capitals do not count
        {"qRfz", false, false},
        {"rfz", false, false},    // must start with the first letter
        {"qrzf", false, false},   // order matters
        {"qrfzq", false, true},   // the first letter again leaves service mode
        {"qrfzqrfz", true, true}, // and can unlock it anew
    };
    for (const Case &c : cases) {
        PanelRig fresh;
        fresh.connectOn(2, "KVT20v2.05\r\n");
        QTest::mouseClick(ui(*fresh.window).infoButton, Qt::LeftButton);
        fresh.advance(300, 10);
        auto *button = fresh.window->findChild<QPushButton *>(QStringLiteral("okButton"));
        for (char key : std::string(c.keys))
            QTest::keyClick(button, key);
        auto *serial = fresh.window->findChild<QLabel *>(QStringLiteral("serialValue"));
        EXPECT_EQ(serial->font().bold(), c.bold) << c.keys;
        EXPECT_TRUE(button->isVisible()) << "letters do not press OK: " << c.keys;

        // The date stamp works exactly in service mode.
        fresh.port.takeLines();
        QTest::mouseDClick(fresh.window->findChild<QLabel *>(QStringLiteral("dateValue")),
                           Qt::LeftButton);
        fresh.advance(300, 10);
        QStringList lines = fresh.port.takeLines();
        EXPECT_EQ(!lines.isEmpty() && lines.front().startsWith(QLatin1String("U132")), c.unlocked)
            << c.keys;
    }
}

TEST_F(InfoPanelTest, DateStampSendsTodayThenReadsTheDateBack) {
    info("#B1234\r\n", "#T1 1 10\r\n");
    typeOnOk(QStringLiteral("qrfz"));
    ASSERT_TRUE(serviceModeShown());
    sent();

    QTest::mouseDClick(label("dateValue"), Qt::LeftButton);
    EXPECT_EQ(sent(), (QStringList{"U132 7 3 15", "B"}));
    answer("#B1234\r\n", "#T7 3 15\r\n");
    EXPECT_EQ(sent(), QStringList{"T"});
    EXPECT_EQ(label("dateValue")->text(), QStringLiteral("07.03.2015"));
    EXPECT_TRUE(serviceModeShown()) << "the stamp keeps service mode";
}

TEST_F(InfoPanelTest, FirmwareUpdateFromThePanelHoldsTheProgramAndRefreshesThePanel) {
    info("#B1234\r\n", "#T7 3 15\r\n");
    QTemporaryDir images;
    QFile image(images.filePath(QStringLiteral("41200207.bin")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(intelhex::write(0, "firmware"));
    image.close();
    const QString readBack = rig.folder.filePath(QStringLiteral("41200205.bkp.part"));
    // avrdude's quick run of the checks, the read-back, the write.
    rig.processes.outcomes = {{0, 0, {}}, {1000, 0, readBack}, {9000, 0, {}}};

    bool closeRefused = false;
    bool announced = false;
    rig.dialogs.yesNoAnswers = {true};
    rig.dialogs.modalActions.push_back([&](QDialog &dialog) {
        auto &window = static_cast<FirmwareUpdateDialog &>(dialog);
        window.showFolder(images.path());
        auto *files = window.findChild<QListWidget *>(QStringLiteral("fileList"));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(0)).center());
        QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("writeButton")),
                          Qt::LeftButton);
        rig.advance(5000, 100);
        closeRefused = !rig.window->close() && rig.window->isVisible() && !window.close();
        // The new firmware announces itself once the update waits for it.
        auto *progress = window.findChild<QLabel *>(QStringLiteral("progressLabel"));
        for (int i = 0; i < 600 && window.isVisible(); ++i) {
            rig.advance(100, 100);
            if (progress->text() == FirmwareUpdate::waitingText() && !announced) {
                rig.reply("KVT20v2.07\r\n");
                announced = true;
            }
        }
        EXPECT_FALSE(window.isVisible()) << "the update hides the window at its end";
    });
    sent();
    QTest::mouseDClick(label("firmwareCaption"), Qt::LeftButton);

    EXPECT_TRUE(closeRefused) << "neither the window nor the program closes during an update";
    EXPECT_EQ(rig.quitCount, 0);
    ASSERT_GE(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked.front().title, QStringLiteral("Firmware update"));
    EXPECT_EQ(rig.dialogs.asked.back().text,
              QStringLiteral("New firmware successfully uploaded..."));
    ASSERT_EQ(rig.processes.started.size(), 3u);
    EXPECT_TRUE(rig.port.isOpen());

    // The Info steps run again, and the new identity shows as it arrives.
    EXPECT_EQ(sent(), QStringList{"B"});
    answer({}, {});
    rig.reply("KVT20v2.07\r\n");
    EXPECT_EQ(label("firmwareValue")->text(), QStringLiteral("2.07"));
    EXPECT_TRUE(panel()->isVisible());
}

// An update whose port does not come back tells so, and the panel stops looking
// connected: Ready goes dark.
TEST_F(InfoPanelTest, UpdateWhosePortDoesNotOpenAgainDarkensTheReadyLamp) {
    info("#B1234\r\n", "#T7 3 15\r\n");
    ASSERT_TRUE(ui(*rig.window).readyLamp->isLit());
    QTemporaryDir images;
    QFile image(images.filePath(QStringLiteral("41200207.bin")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(intelhex::write(0, "firmware"));
    image.close();
    rig.processes.outcomes = {
        {0, 0, {}}, {1000, 0, rig.folder.filePath(QStringLiteral("41200205.bkp.part"))}, {}};
    rig.dialogs.yesNoAnswers = {true};
    rig.dialogs.modalActions.push_back([&](QDialog &window) {
        static_cast<FirmwareUpdateDialog &>(window).showFolder(images.path());
        auto *files = window.findChild<QListWidget *>(QStringLiteral("fileList"));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(0)).center());
        QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("writeButton")),
                          Qt::LeftButton);
        rig.port.openResults[2] = SerialPort::InvalidPort;
        rig.advance(53000, 100);
    });
    QTest::mouseDClick(label("firmwareCaption"), Qt::LeftButton);

    // Nobody heard the new firmware start: the write is not told as a success.
    const QString told = rig.dialogs.asked.back().text;
    EXPECT_TRUE(told.startsWith(QStringLiteral("Error with upload !\n\n")));
    EXPECT_TRUE(told.contains(QStringLiteral("COM2 could not be opened again (the port is gone")));
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(rig.record().connected, 0);
    EXPECT_FALSE(ui(*rig.window).readyLamp->isLit());
    EXPECT_FALSE(ui(*rig.window).infoButton->isEnabled());

    // As after an unplug, the port is tried again until the generator answers.
    rig.port.openResults[2] = 0;
    rig.advance(1600, 100);
    ASSERT_TRUE(rig.port.isOpen());
    rig.reply("KVT20v2.07\r\n");
    EXPECT_TRUE(ui(*rig.window).readyLamp->isLit());
    EXPECT_TRUE(ui(*rig.window).infoButton->isEnabled());
    EXPECT_EQ(rig.record().firmwareVersion, QStringLiteral("2.07"));
}

} // namespace
