// The setup exchange behind Config: the commands and their times, polling and the busy
// pointer, the setup window's rules as they reach the generator, and the KVT 10.
#include "tests/support/fakes.h"

#include "instrument/polling.h"
#include "link/devicestate.h"
#include "link/procedure.h"
#include "setup/language.h"
#include "setup/setupdialog.h"
#include "setup/setupexchange.h"
#include "widgets/panelcontext.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <ostream>
#include <tuple>

namespace {

template <class T> T *child(QWidget &root, const char *name) {
    T *w = root.findChild<T *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QPushButton *configButton(PanelRig &rig) {
    return child<QPushButton>(*rig.window, "configButton");
}

// Clicks Config and runs the clock for `ms` in 1 ms steps. The generator answers a
// query listed in `answers` 20 ms after it went out. Returns the lines sent, with their
// times from the click.
std::vector<Timed> clickConfig(PanelRig &rig, const std::map<QString, QByteArray> &answers,
                               qint64 ms = 3000) {
    std::vector<Timed> out;
    std::vector<std::pair<qint64, QByteArray>> due;
    const qint64 start = rig.clock.nowMs();
    const auto collect = [&] {
        for (const QString &line : rig.port.takeLines()) {
            out.push_back({rig.clock.nowMs() - start, line});
            if (auto a = answers.find(line); a != answers.end())
                due.push_back({rig.clock.nowMs() + 20, a->second});
        }
    };
    configButton(rig)->click();
    collect();
    for (qint64 i = 0; i < ms; ++i) {
        rig.clock.advance(1);
        collect();
        for (size_t d = 0; d < due.size(); ++d) {
            if (due[d].first != rig.clock.nowMs())
                continue;
            rig.reply(due[d].second);
            collect();
        }
    }
    return out;
}

void type(QDialog &d, const char *box, const char *text) {
    child<QLineEdit>(d, box)->setText(QString::fromUtf8(text));
}
void click(QDialog &d, const char *button) {
    child<QAbstractButton>(d, button)->click();
}

// What a screen reader does to select an option: its toggle action, no click.
void toggleByScreenReader(QDialog &d, const char *button) {
    QAccessibleInterface *option = QAccessible::queryAccessibleInterface(child<QWidget>(d, button));
    ASSERT_NE(option, nullptr);
    ASSERT_NE(option->actionInterface(), nullptr);
    option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

class SetupExchangeTest : public testing::Test {
protected:
    void SetUp() override {
        rig.connectOn();
        rig.port.takeWritten();
        rig.dialogs.asked.clear();
    }
    DeviceState &state() { return rig.record(); }
    PanelRig rig;
};

TEST_F(SetupExchangeTest, CommandsGoOutOnTheirTimetableWithPollingOffAndTheBusyPointer) {
    bool checkedWhileOpen = false;
    rig.dialogs.modalActions.push_back([&](QDialog &d) {
        EXPECT_EQ(rig.window->cursor().shape(), Qt::WaitCursor);
        // The window stays open a while: no poll query goes out meanwhile.
        rig.advance(10000, 100);
        EXPECT_TRUE(rig.port.takeLines().isEmpty());
        EXPECT_TRUE(child<QRadioButton>(d, "subButton")->isChecked());
        EXPECT_EQ(child<QLineEdit>(d, "operatorEntry")->text(), QStringLiteral("1000"));
        EXPECT_EQ(child<QLineEdit>(d, "coarseStepEntry")->text(), QStringLiteral("100"));
        click(d, "saveButton");
        checkedWhileOpen = true;
    });
    const auto sent = clickConfig(
        rig, {{QStringLiteral("Y"), "#Y21000\r\n"}, {QStringLiteral("V"), "#V100\r\n"}}, 1500);
    ASSERT_TRUE(checkedWhileOpen);
    // Each wait ends with its own reply; the window was open for 10 s after 40 ms.
    const std::vector<Timed> expected = {{0, QStringLiteral("Y")},
                                         {20, QStringLiteral("V")},
                                         {10040, QStringLiteral("Z2 1000")},
                                         {11040, QStringLiteral("X100")}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(rig.window->cursor().shape(), Qt::ArrowCursor) << "the pointer is back";

    // Polling is on again: the next poll follows within its 4 s cycle and 1 s wait.
    rig.advance(6000, 10);
    EXPECT_TRUE(rig.port.takeLines().contains(QStringLiteral("G")));
}

// Values saved while the line is lost would reach no generator: Save waits for it. The
// line back is queried as after any loss, but the poll stays off until the window closes.
TEST_F(SetupExchangeTest, SaveIsOfferedOnlyWhileTheGeneratorIsConnected) {
    std::vector<bool> saveEnabled;
    QStringList whileOpen;
    rig.dialogs.modalActions.push_back([&](QDialog &d) {
        auto *save = child<QPushButton>(d, "saveButton");
        saveEnabled.push_back(save->isEnabled());
        rig.port.unplug();
        saveEnabled.push_back(save->isEnabled());
        rig.advance(1600, 10); // the lost port is opened again and the generator answers
        rig.reply("KVT20v2.05\r\n");
        saveEnabled.push_back(save->isEnabled());
        rig.advance(3000, 10); // the reconnection's queries
        rig.port.takeLines();
        rig.advance(12000, 10);
        whileOpen = rig.port.takeLines();
    });
    clickConfig(rig, {}, 2100);
    EXPECT_EQ(saveEnabled, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(whileOpen, QStringList{});
    rig.advance(6000, 10);
    EXPECT_TRUE(rig.port.takeLines().contains(QStringLiteral("G"))) << "polling after the window";
}

// A line lost between "Z" and "X": "X" goes nowhere, and the user is told what went out.
TEST_F(SetupExchangeTest, ALineLostBetweenZAndXIsToldWithWhatWasSent) {
    rig.dialogs.modalActions.push_back([](QDialog &d) { click(d, "saveButton"); });
    rig.port.openResults[2] = SerialPort::InvalidPort; // it stays away
    const auto sent = clickConfig(
        rig, {{QStringLiteral("Y"), "#Y21000\r\n"}, {QStringLiteral("V"), "#V100\r\n"}}, 500);
    rig.port.unplug();
    rig.advance(1000, 10);
    EXPECT_EQ(linesOf(sent) + rig.port.takeLines(), QStringList({"Y", "V", "Z2 1000"}));
    EXPECT_EQ(rig.dialogs.asked.back().title + ": " + rig.dialogs.asked.back().text,
              "KVT Control Panel: The setup was not sent completely: the line to the generator was "
              "lost after the display operator was sent (Z2 1000), before the coarse tuning step "
              "of 100 Hz (X100). Open Config again once the generator is back.");
}

TEST_F(SetupExchangeTest, SilentGeneratorEachQueryWaitsItsFullSecond) {
    rig.dialogs.modalActions.push_back([](QDialog &d) { click(d, "cancelButton"); });
    const auto sent = clickConfig(rig, {}, 2100);
    const std::vector<Timed> expected = {{0, QStringLiteral("Y")}, {1000, QStringLiteral("V")}};
    EXPECT_EQ(sent, expected);
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].text, QStringLiteral("SetupDialog"));
}

// The generator reports mode and operator (Y) and the step 100 (V); the user may type
// an operator, choose a mode (a click, or a screen reader's toggle action), then ends
// with a button or the window's close control.
TEST(SetupWindow, WhatItStoresAndWhatIsSent) {
    struct Case {
        QByteArray y;
        const char *typed; // operator text, nullptr: as shown
        const char *mode;  // option button clicked, nullptr: none
        const char *end;   // button clicked, nullptr: the close control
        QStringList applied;
        int16_t storedMode;
        int32_t value;
        int32_t step;
        bool byScreenReader = false; // the mode is chosen by the accessibility toggle action
    };
    const Case cases[] = {
        {"#Y21000\r\n", nullptr, nullptr, "saveButton", {"Z2 1000", "X100"}, 2, 1000, 100},
        {"#Y40\r\n", nullptr, nullptr, "saveButton", {"Z4 1", "X100"}, 4, 1, 100},
        {"#Y00\r\n", "abc", "multButton", "saveButton", {"Z3 1", "X100"}, 3, 1, 100},
        {"#Y21000\r\n",
         "50000000",
         "addButton",
         "saveButton",
         {"Z1 39999999", "X100"},
         1,
         39999999,
         100},
        {"#Y21000\r\n", "-5", nullptr, "saveButton", {}, 2, -5, 100},
        {"#Y21000\r\n", "-99999999999", nullptr, "saveButton", {}, 2, INT32_MIN, 100},
        {"#Y21000\r\n", "0", "divButton", "saveButton", {"Z4 1", "X100"}, 4, 1, 100, true},
        {"#Y21000\r\n", "77", "divButton", "cancelButton", {}, -1, -1, -1},
        {"#Y21000\r\n", "77", nullptr, nullptr, {}, -1, -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.y.constData() << " " << (c.typed ? c.typed : "-") << " "
                     << (c.mode ? c.mode : "-") << " " << (c.end ? c.end : "close"));
        PanelRig rig;
        rig.connectOn();
        rig.port.takeWritten();
        rig.dialogs.modalActions.push_back([&c](QDialog &d) {
            if (c.typed)
                type(d, "operatorEntry", c.typed);
            if (c.mode && c.byScreenReader)
                toggleByScreenReader(d, c.mode);
            else if (c.mode)
                click(d, c.mode);
            if (c.end)
                click(d, c.end);
            else
                d.close();
        });
        const auto sent =
            clickConfig(rig, {{QStringLiteral("Y"), c.y}, {QStringLiteral("V"), "#V100\r\n"}});
        EXPECT_EQ(linesOf(sent),
                  QStringList({QStringLiteral("Y"), QStringLiteral("V")}) + c.applied);
        // What the exchange keeps for the next showing (Cancel: nothing to send).
        const SetupExchange *exchange = rig.window->findChild<SetupExchange *>();
        ASSERT_TRUE(exchange && exchange->keptValues());
        EXPECT_EQ(exchange->keptValues()->mode, c.storedMode);
        EXPECT_EQ(exchange->keptValues()->displayOperator, c.value);
        EXPECT_EQ(exchange->keptValues()->coarseStep, c.step);
    }
}

TEST(SetupWindow, MultAndDivTurnAnOperatorReadAsZeroIntoOneAtOnce) {
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"multButton", "0", "1"},    {"divButton", "abc", "1"}, {"multButton", "", "1"},
        {"divButton", "0.4", "1"},   {"multButton", "7", "7"},  {"addButton", "0", "0"},
        {"subButton", "abc", "abc"},
    };
    PanelRig rig;
    SetupDialog &d = *ui(*rig.window).setupDialog();
    for (const auto &[button, before, after] : cases) {
        type(d, "operatorEntry", before);
        click(d, button);
        EXPECT_EQ(child<QLineEdit>(d, "operatorEntry")->text(), QString::fromUtf8(after))
            << button << " " << before;
    }
}

TEST_F(SetupExchangeTest, AfterCancelTheWindowShowsWhatTheGeneratorSaysNext) {
    rig.dialogs.modalActions.push_back([](QDialog &d) { click(d, "cancelButton"); });
    clickConfig(rig, {{QStringLiteral("Y"), "#Y21000\r\n"}, {QStringLiteral("V"), "#V100\r\n"}});

    // The generator does not answer: the window shows -1 and no mode; Save sends nothing.
    rig.dialogs.modalActions.push_back([](QDialog &d) {
        for (const char *b :
             {"oneToOneButton", "addButton", "subButton", "multButton", "divButton"})
            EXPECT_FALSE(child<QRadioButton>(d, b)->isChecked()) << b;
        EXPECT_EQ(child<QLineEdit>(d, "operatorEntry")->text(), QStringLiteral("-1"));
        EXPECT_EQ(child<QLineEdit>(d, "coarseStepEntry")->text(), QStringLiteral("-1"));
        click(d, "saveButton");
    });
    EXPECT_EQ(linesOf(clickConfig(rig, {})),
              QStringList({QStringLiteral("Y"), QStringLiteral("V")}));

    // It answers again: its values are shown.
    rig.dialogs.modalActions.push_back([](QDialog &d) {
        EXPECT_TRUE(child<QRadioButton>(d, "addButton")->isChecked());
        EXPECT_EQ(child<QLineEdit>(d, "operatorEntry")->text(), QStringLiteral("500"));
        EXPECT_EQ(child<QLineEdit>(d, "coarseStepEntry")->text(), QStringLiteral("250"));
        click(d, "saveButton");
    });
    EXPECT_EQ(linesOf(clickConfig(
                  rig, {{QStringLiteral("Y"), "#Y1500\r\n"}, {QStringLiteral("V"), "#V250\r\n"}})),
              QStringList({"Y", "V", "Z1 500", "X250"}));
}

TEST_F(SetupExchangeTest, ASecondClickWhileRunningIsIgnored) {
    rig.dialogs.modalActions.push_back([](QDialog &d) { click(d, "cancelButton"); });
    configButton(rig)->click();
    rig.advance(500);
    EXPECT_EQ(rig.port.takeLines(), QStringList{QStringLiteral("Y")});
    const auto sent = clickConfig(rig, {}, 3000);
    EXPECT_EQ(linesOf(sent), QStringList{QStringLiteral("V")});
    EXPECT_EQ(rig.dialogs.asked.size(), 1u);
}

TEST(SetupConfigButton, OnlyTheKvt20CanReachTheSetupWindow) {
    const std::pair<QByteArray, bool> cases[] = {{"KVT20v2.05\r\n", true},
                                                 {"KVT10v2.05\r\n", false}};
    for (const auto &[identity, enabled] : cases) {
        PanelRig rig;
        EXPECT_FALSE(configButton(rig)->isEnabled()) << "before the identity line";
        rig.connectOn(2, identity);
        EXPECT_EQ(configButton(rig)->isEnabled(), enabled) << identity.constData();
    }
}

TEST(SetupExchange, ReturningFromTheFirmwareWindowRefillsTheWindowAndKeepsPollingOff) {
    PanelRig rig;
    rig.connectOn();
    rig.port.takeWritten();
    Services services;
    services.dialogs = &rig.dialogs;
    RecordingPolling polling;
    const PanelContext context{rig.record(),
                               *rig.instrument,
                               rig.instrument->link(),
                               services,
                               polling,
                               rig.window.get(),
                               [] {},
                               [] { return false; },
                               [](const QString &) {}};
    Language language;
    SetupExchange exchange(context, language);
    DeviceState &s = rig.record();
    s.displayOperatorMode = 1;
    s.displayOperator = 500;
    s.coarseStep = 250;

    bool upgraded = false;
    rig.dialogs.modalActions.push_back([&](QDialog &d) {
        type(d, "operatorEntry", "777");
        QObject::connect(static_cast<SetupDialog *>(&d), &SetupDialog::upgradeRequested, &d, [&] {
            upgraded = true;
            polling.setPollingEnabled(true); // as the firmware update does at its end
            exchange.firmwareWindowClosed();
        });
        click(d, "upgradeButton");
        EXPECT_EQ(child<QLineEdit>(d, "operatorEntry")->text(), QStringLiteral("500"));
        EXPECT_FALSE(polling.pollingEnabled());
        click(d, "saveButton");
    });
    runProcedure(exchange.run(), {});
    rig.advance(3500, 10);
    EXPECT_TRUE(upgraded);
    EXPECT_EQ(polling.changes, std::vector<bool>({false, true, false, true}));
    QStringList sent = rig.port.takeLines();
    sent.removeIf([](const QString &line) {
        return line.size() == 1 && QStringLiteral("GIJH").contains(line);
    });
    EXPECT_EQ(sent, QStringList({"Y", "V", "Z1 500", "X250"}));
}

} // namespace
