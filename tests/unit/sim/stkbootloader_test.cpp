// The bootloader's byte exchange: framing, the replies avrdude relies on, and
// page reads and writes at the loaded address.

#include "sim/stkbootloader.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

QByteArray feedAll(sim::StkBootloader &boot, const QByteArray &bytes) {
    QByteArray reply;
    for (char byte : bytes)
        boot.feed(byte, &reply);
    return reply;
}

// Hex digits to bytes; blanks between them are skipped.
QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

TEST(StkBootloader, AnswersEachCommandOrSaysTheLineIsOutOfStep) {
    struct Case {
        const char *what;
        QByteArray sent;
        QByteArray reply;
        bool spoken;
    };
    const QList<Case> cases = {
        {"sync", hex("3020"), hex("1410"), true},
        {"sync without its end byte", hex("3021"), hex("15"), false},
        {"hardware version", hex("418020"), hex("140210"), true},
        {"software version 1.16", hex("41 81 20 41 82 20"), hex("14 01 10 14 10 10"), true},
        {"unknown parameter", hex("419920"), hex("140010"), true},
        {"set device, 20 values", hex("42") + QByteArray(20, '\x01') + hex("20"), hex("1410"),
         true},
        {"extended device, 4 values", hex("450504d7c20120"), hex("1410"), true},
        {"extended device, 3 values", hex("450404d7c220"), hex("1410"), true},
        {"programming mode in and out", hex("50205120"), hex("14101410"), true},
        {"signature by universal", hex("56 30 00 00 00 20 56 30 00 01 00 20 56 30 00 02 00 20"),
         hex("14 1e 10 14 95 10 14 0f 10"), true},
        {"signature", hex("7520"), hex("141e950f10"), true},
        {"unknown command, in step", hex("9920"), hex("12"), false},
        {"unknown command, out of step", hex("9999"), hex("15"), false},
        {"page of length 0", hex("640000"), hex("15"), false},
        {"page longer than 256", hex("640101"), hex("15"), false},
        {"read from an unknown memory", hex("74 00 80 58 20"), hex("14 11"), true},
        {"read past the end of flash", hex("55 c0 3f 20 74 01 00 46 20"), hex("14 10 14 11"), true},
        {"garbage, then sync", hex("0d 47 30 20"), hex("15 14 10"), true},
    };
    for (const Case &c : cases) {
        sim::StkBootloader boot;
        EXPECT_EQ(feedAll(boot, c.sent).toHex(), c.reply.toHex()) << c.what;
        EXPECT_EQ(boot.spoken(), c.spoken) << c.what;
    }
}

TEST(StkBootloader, PagesAreWrittenAndReadAtTheLoadedWordAddress) {
    sim::StkBootloader boot;
    QByteArray page(128, '\0');
    for (int i = 0; i < page.size(); ++i)
        page[i] = static_cast<char>(i * 7);

    // Word address 0x0140 is byte 0x0280.
    EXPECT_EQ(feedAll(boot, hex("55400120") + hex("640080") + "F" + page + hex("20")).toHex(),
              hex("14101410").toHex());
    EXPECT_TRUE(boot.takeFlashWritten());
    EXPECT_FALSE(boot.takeFlashWritten());
    EXPECT_EQ(boot.flash().mid(0x280, 128), page);
    EXPECT_EQ(boot.flash().mid(0x200, 0x80), QByteArray(0x80, '\xff'));
    EXPECT_EQ(boot.flash().mid(0x300, 0x80), QByteArray(0x80, '\xff'));
    EXPECT_EQ(feedAll(boot, hex("55400120") + hex("74008046") + hex("20")),
              hex("1410") + hex("14") + page + hex("10"));

    // EEPROM is kept apart from flash and addressed in words too.
    EXPECT_EQ(feedAll(boot, hex("55020020") + hex("640004") + "E" + "abcd" + hex("20")).toHex(),
              hex("14101410").toHex());
    EXPECT_FALSE(boot.takeFlashWritten());
    EXPECT_EQ(boot.eeprom().mid(4, 4), QByteArray("abcd"));
    EXPECT_EQ(boot.flash().mid(4, 4), QByteArray(4, '\xff'));

    // A page whose end byte is wrong is not written.
    EXPECT_EQ(feedAll(boot, hex("55000020") + hex("640002") + "Fzz" + hex("21")).toHex(),
              hex("141015").toHex());
    EXPECT_EQ(boot.flash().left(2), QByteArray(2, '\xff'));

    // A reset forgets the address and the half-received command, not the memory.
    feedAll(boot, hex("55400120") + hex("6400"));
    boot.reset();
    EXPECT_FALSE(boot.spoken());
    EXPECT_EQ(feedAll(boot, hex("74000246") + hex("20")), hex("14ffff10"));
    EXPECT_EQ(boot.flash().mid(0x280, 128), page);
}

TEST(StkBootloader, GarbageNeverGrowsTheHeldCommand) {
    // A flood of page headers with a wrong end byte is answered command by command.
    sim::StkBootloader boot;
    const QByteArray frame = hex("640100") + "F" + QByteArray(256, 'x') + hex("00");
    QByteArray sent;
    for (int i = 0; i < 100; ++i)
        sent += frame;
    EXPECT_EQ(feedAll(boot, sent), QByteArray(100, '\x15'));
    EXPECT_EQ(feedAll(boot, hex("3020")), hex("1410"));
}

TEST(StkBootloader, FirmwareVersionMarker) {
    const QList<std::pair<QByteArray, QByteArray>> cases = {
        {"", ""},
        {QByteArray(100, '\xff'), ""},
        {"\x01\x02KVTFW=2.07\0\xff", "2.07"},
        {"KVTFW=10.1x", "10.1"},
        {"KVTFW=", ""},
        {"KVTFW=abc KVTFW=3.00", ""}, // only the first marker counts
        {"KVTFW=" + QByteArray(40, '9'), QByteArray(16, '9')},
    };
    for (const auto &[image, version] : cases)
        EXPECT_EQ(sim::firmwareVersionIn(image), version) << image.toHex().constData();
}

} // namespace
