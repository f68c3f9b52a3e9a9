// The setup exchange behind Config: the commands and their times, polling and the busy
// pointer, the setup window's rules as they reach the generator, and the KVT 10.
#include "tests/support/fakes.h"

#include "link/devicestate.h"
#include "link/polling.h"
#include "link/procedure.h"
#include "setup/setupdialog.h"
#include "setup/setupexchange.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct Timed {
    qint64 at;
    QString line;
    bool operator==(const Timed &) const = default;
};
inline void PrintTo(const Timed &t, std::ostream *os) {
    *os << t.at << ":" << t.line.toStdString();
}

template <class T> T *child(QWidget &root, const char *name) {
    T *w = root.findChild<T *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QPushButton *configButton(PanelRig &rig) {
    return child<QPushButton>(*rig.form, "configButton");
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

QStringList linesOf(const std::vector<Timed> &timed) {
    QStringList lines;
    for (const Timed &t : timed)
        lines << t.line;
    return lines;
}

void type(QDialog &d, const char *box, const char *text) {
    child<QLineEdit>(d, box)->setText(QString::fromUtf8(text));
}
void click(QDialog &d, const char *button) {
    child<QAbstractButton>(d, button)->click();
}

class SetupExchangeTest : public testing::Test {
protected:
    void SetUp() override {
        rig.connectOn();
        rig.port.takeWritten();
        rig.dialogs.asked.clear();
    }
    DeviceState &state() { return rig.form->state(); }
    PanelRig rig;
};

TEST_F(SetupExchangeTest, CommandsGoOutOnTheirTimetableWithPollingOffAndTheBusyPointer) {
    bool checkedWhileOpen = false;
    rig.dialogs.modalActions.push_back([&](QDialog &d) {
        EXPECT_EQ(rig.form->cursor().shape(), Qt::WaitCursor);
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
    EXPECT_EQ(rig.form->cursor().shape(), Qt::ArrowCursor) << "the pointer is back";

    // Polling is on again: the next poll follows within its 4 s cycle and 1 s wait.
    rig.advance(6000, 10);
    EXPECT_TRUE(rig.port.takeLines().contains(QStringLiteral("G")));
}

TEST_F(SetupExchangeTest, SilentGeneratorEachQueryWaitsItsFullSecond) {
    rig.dialogs.modalActions.push_back([](QDialog &d) { click(d, "cancelButton"); });
    const auto sent = clickConfig(rig, {}, 2100);
    const std::vector<Timed> expected = {{0, QStringLiteral("Y")}, {1000, QStringLiteral("V")}};
    EXPECT_EQ(sent, expected);
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].text, QStringLiteral("SetupDialog"));
}

TEST_F(SetupExchangeTest, WhatTheWindowStoresAndSends) {
    struct Case {
        const char *name;
        QByteArray y;
        std::function<void(QDialog &)> user;
        QStringList applied; // sent after Y and V
        int16_t mode;
        int32_t value;
        int32_t step;
    };
    const auto save = [](QDialog &d) { click(d, "saveButton"); };
    const Case cases[] = {
        {"saved as read", "#Y21000\r\n", save, {"Z2 1000", "X100"}, 2, 1000, 100},
        {"Div with 0 sends a divisor of 1", "#Y40\r\n", save, {"Z4 1", "X100"}, 4, 1, 100},
        {"Mult on a text that is no number",
         "#Y00\r\n",
         [](QDialog &d) {
             type(d, "operatorEntry", "abc");
             click(d, "multButton");
             EXPECT_EQ(child<QLineEdit>(d, "operatorEntry")->text(), QStringLiteral("1"));
             click(d, "saveButton");
         },
         {"Z3 1", "X100"},
         3,
         1,
         100},
        {"a mode click counts at once; the step rounds half to even",
         "#Y21000\r\n",
         [](QDialog &d) {
             click(d, "addButton");
             type(d, "coarseStepEntry", "2.5");
             click(d, "saveButton");
         },
         {"Z1 1000", "X2"},
         1,
         1000,
         2},
        {"upper limits",
         "#Y1500\r\n",
         [](QDialog &d) {
             type(d, "operatorEntry", "50000000");
             type(d, "coarseStepEntry", "20000000");
             click(d, "saveButton");
         },
         {"Z1 39999999", "X10000000"},
         1,
         39999999,
         10000000},
        {"negative operator is kept and nothing is sent",
         "#Y21000\r\n",
         [](QDialog &d) {
             type(d, "operatorEntry", "-5");
             click(d, "saveButton");
         },
         {},
         2,
         -5,
         100},
        {"operator below the 32-bit range",
         "#Y21000\r\n",
         [](QDialog &d) {
             type(d, "operatorEntry", "-99999999999");
             click(d, "saveButton");
         },
         {},
         2,
         INT32_MIN,
         100},
        {"Cancel", "#Y21000\r\n", [](QDialog &d) { click(d, "cancelButton"); }, {}, -1, -1, -1},
        {"the window's close control",
         "#Y21000\r\n",
         [](QDialog &d) { d.close(); },
         {},
         -1,
         -1,
         -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PanelRig one;
        one.connectOn();
        one.port.takeWritten();
        one.dialogs.modalActions.push_back(c.user);
        const auto sent =
            clickConfig(one, {{QStringLiteral("Y"), c.y}, {QStringLiteral("V"), "#V100\r\n"}});
        EXPECT_EQ(linesOf(sent),
                  QStringList({QStringLiteral("Y"), QStringLiteral("V")}) + c.applied);
        const DeviceState &s = one.form->state();
        EXPECT_EQ(s.displayOperatorMode, c.mode);
        EXPECT_EQ(s.displayOperator, c.value);
        EXPECT_EQ(s.coarseStep, c.step);
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

class RecordingPolling final : public Polling {
public:
    void setPollingEnabled(bool on) override {
        calls.push_back(on);
        m_on = on;
    }
    bool pollingEnabled() const override { return m_on; }
    QCoro::Task<> readParams() override { co_return; }
    std::vector<bool> calls;

private:
    bool m_on = true;
};

TEST(SetupExchange, ReturningFromTheFirmwareWindowRefillsTheWindowAndKeepsPollingOff) {
    PanelRig rig;
    rig.connectOn();
    rig.port.takeWritten();
    Services services;
    services.dialogs = &rig.dialogs;
    RecordingPolling polling;
    SetupExchange exchange(rig.form->link(), rig.form->state(), polling, services, *rig.form);
    DeviceState &s = rig.form->state();
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
    EXPECT_EQ(polling.calls, std::vector<bool>({false, true, false, true}));
    QStringList sent = rig.port.takeLines();
    sent.removeIf([](const QString &line) {
        return line.size() == 1 && QStringLiteral("GIJH").contains(line);
    });
    EXPECT_EQ(sent, QStringList({"Y", "V", "Z1 500", "X250"}));
}

} // namespace
