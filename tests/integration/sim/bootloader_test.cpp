// The simulated generator's bootloader against the real avrdude over its
// pseudo-terminal, with the command lines the program runs for a firmware update.

#include "serialclient.h"
#include "sim/simulator.h"
#include "tests/support/intelhex.h"
#include "tests/support/wait.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kAvrdude = QStringLiteral("/usr/bin/avrdude");

class BootloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_config.linkPath = m_dir.filePath(QStringLiteral("COM5"));
        m_config.bootMs = 100;
        m_config.flashPath = m_dir.filePath(QStringLiteral("flash.bin"));
    }

    void startSimulator() {
        m_sim = std::make_unique<sim::Simulator>(m_config);
        QString error;
        ASSERT_TRUE(m_sim->start(&error)) << error.toStdString();
    }

    // Runs avrdude on the simulator's link as the program does; the event loop
    // keeps running meanwhile, so the in-process simulator answers.
    int avrdude(const QString &baud, const QString &operation) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(kAvrdude, {QStringLiteral("-q"), QStringLiteral("-q"), QStringLiteral("-p"),
                                 QStringLiteral("atmega328p"), QStringLiteral("-c"),
                                 QStringLiteral("stk500v1"), QStringLiteral("-P"),
                                 m_config.linkPath, QStringLiteral("-b"), baud,
                                 QStringLiteral("-D"), QStringLiteral("-U"), operation});
        if (!process.waitForStarted(10000))
            return -1;
        // An event loop that wakes on the simulator's traffic at once (QTest::qWaitFor
        // would add up to 10 ms to every exchange).
        (void)runUntil(
            &process, &QProcess::finished, [&] { return process.state() == QProcess::NotRunning; },
            120000);
        if (process.state() != QProcess::NotRunning) {
            process.kill(); // avrdude can spin for ever on a line that went away
            process.waitForFinished(5000);
            return -1;
        }
        m_output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QByteArray identityOnOpen() {
        SerialClient client(m_config.linkPath);
        if (!client.open())
            return {};
        return client.takeLine(5000);
    }

    QTemporaryDir m_dir;
    sim::SimConfig m_config;
    std::unique_ptr<sim::Simulator> m_sim;
    QByteArray m_output;
};

TEST_F(BootloaderTest, ReadBackGivesTheWholeFlashAndTheGeneratorStillIdentifiesAfterwards) {
    if (!QFileInfo::exists(kAvrdude))
        GTEST_SKIP() << "avrdude is not installed";
    startSimulator();
    QByteArray flash(sim::StkBootloader::FlashSize, '\0');
    QRandomGenerator random(11);
    for (char &c : flash)
        c = static_cast<char>(random.bounded(256));
    flash[flash.size() - 1] = 0x5a; // nothing at the end reads as erased
    m_sim->setFlash(flash);

    const QString backup = m_dir.filePath(QStringLiteral("4120205.bkp"));
    ASSERT_EQ(avrdude(QStringLiteral("57600"),
                      QStringLiteral("flash:r:") + backup + QStringLiteral(":i")),
              0)
        << m_output.constData();
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray read = intelhex::read(file.readAll(), sim::StkBootloader::FlashSize);
    ASSERT_EQ(read.size(), flash.size());
    EXPECT_TRUE(read == flash) << "read-back differs from the simulator's flash";

    EXPECT_FALSE(QFileInfo::exists(m_config.flashPath)) << "a read-back writes nothing";
    EXPECT_EQ(identityOnOpen(), "KVT20v2.05");
}

TEST_F(BootloaderTest, WrittenImageIsInFlashAndItsVersionIsAnnouncedOnTheNextOpen) {
    if (!QFileInfo::exists(kAvrdude))
        GTEST_SKIP() << "avrdude is not installed";
    startSimulator();
    QByteArray flash(sim::StkBootloader::FlashSize, '\0');
    for (qsizetype i = 0; i < flash.size(); ++i)
        flash[i] = static_cast<char>(i % 251);
    m_sim->setFlash(flash);

    // Three pages from 0x0100 (word 0x80), the version marker in the middle one.
    QByteArray image(300, '\0');
    for (qsizetype i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(0xa0 ^ i);
    image.replace(150, 10, "KVTFW=2.07");
    const QString file = m_dir.filePath(QStringLiteral("41200207.bin"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(intelhex::write(0x0100, image));
    }
    ASSERT_EQ(
        avrdude(QStringLiteral("57600"), QStringLiteral("flash:w:") + file + QStringLiteral(":i")),
        0)
        << m_output.constData();

    const QByteArray after = m_sim->flash();
    EXPECT_EQ(after.mid(0x100, image.size()), image);
    EXPECT_EQ(after.left(0x100), flash.left(0x100)) << "pages before the image";
    EXPECT_EQ(after.mid(0x280), flash.mid(0x280)) << "pages after the image";
    QFile saved(m_config.flashPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == after) << "the flash file holds the written flash";

    EXPECT_EQ(identityOnOpen(), "KVT20v2.07");

    // A simulator started on the flash file runs that firmware.
    m_sim.reset();
    m_config.linkPath = m_dir.filePath(QStringLiteral("COM6"));
    startSimulator();
    EXPECT_TRUE(m_sim->flash() == after);
    EXPECT_EQ(identityOnOpen(), "KVT20v2.07");
}

TEST_F(BootloaderTest, OnlyAWellFramedCommandInTheWindowHoldsBackTheIdentity) {
    startSimulator();
    struct Case {
        const char *what;
        QByteArray sent;
        QByteArray received; // before the identity line
    };
    const QList<Case> cases = {
        {"nothing", {}, {}},
        {"bad sync", QByteArray::fromHex("3021"), QByteArray::fromHex("15")},
        // Leaving programming mode starts the firmware, which then identifies.
        {"sync, leave", QByteArray::fromHex("30205120"), QByteArray::fromHex("14101410")},
    };
    for (const Case &c : cases) {
        SerialClient client(m_config.linkPath);
        ASSERT_TRUE(client.open());
        client.write(c.sent);
        EXPECT_TRUE(QTest::qWaitFor([&] { return client.raw().endsWith("\r\n"); }, 5000));
        EXPECT_EQ(client.raw().toHex(), (c.received + "KVT20v2.05\r\n").toHex()) << c.what;
        client.close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_sim->clientConnected(); }, 5000));
    }
    // Commands after the identity line reach the generator, not the bootloader.
    SerialClient client(m_config.linkPath);
    ASSERT_TRUE(client.open());
    EXPECT_EQ(client.takeLine(5000), "KVT20v2.05");
    client.send("B");
    EXPECT_EQ(client.takeLine(), "#B1234");
}

} // namespace
