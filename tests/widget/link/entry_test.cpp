// Every box whose text goes into a command, with a line break or a page pasted into
// it: the box keeps no control character and exactly one line goes out.
#include "tests/support/fakes.h"
#include "tests/support/instrumentaccess.h"

#include "presets/telegraphpanel.h"
#include "widgets/qtdialogs.h"
#include "widgets/services.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void paste(QLineEdit *box, const QString &text) {
    QApplication::clipboard()->setText(text);
    box->selectAll();
    box->paste();
}

bool hasControl(const QString &text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

TEST(EntryBoxes, APastedLineBreakOrPageGoesOutAsOneShortLine) {
    struct Case {
        const char *name;
        std::function<QLineEdit *(MainWindow &)> box;
        QString pasted;
        std::function<void(MainWindow &)> send;
        QByteArray line;
    };
    const auto enter = [](QLineEdit *(*box)(MainWindow &)) {
        return [box](MainWindow &w) { QTest::keyClick(box(w), Qt::Key_Return); };
    };
    QLineEdit *(*carrier)(MainWindow &) = [](MainWindow &w) { return ui(w).carrierEntry; };
    QLineEdit *(*modulation)(MainWindow &) = [](MainWindow &w) { return ui(w).modulationEntry; };
    const Case cases[] = {
        {"carrier box", carrier, QStringLiteral("7050000\r\n"), enter(carrier), "F7050000\r\n"},
        {"modulation box", modulation, QStringLiteral("\t1000\n"), enter(modulation), "A1000\r\n"},
        // A pasted page: each direct-entry box keeps its first 20 characters, enough for
        // any value written with leading zeros, which go out as typed.
        {"carrier box, 100 kB", carrier,
         QStringLiteral("000000000007050000") + QString(100000, u'9'), enter(carrier),
         "F00000000000705000099\r\n"},
        {"modulation box, 100 kB", modulation, QString(100000, u'1'), enter(modulation),
         "A" + QByteArray(20, '1') + "\r\n"},
        {"radiotelegraph text", [](MainWindow &w) { return ui(w).telegraph().textEntry; },
         QStringLiteral("cq de test\r\nS5"),
         [](MainWindow &w) {
             InstrumentTestAccess::record(w.instrument()).telegraphBusy = 0;
             ui(w).telegraph().sendButton->click();
         },
         "Q62 CQ DE TESTS5\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PanelRig rig;
        rig.connectOn();
        ui(*rig.window).directInButton->click();
        ui(*rig.window).cwButton->click();
        rig.port.takeWritten();
        QLineEdit *box = c.box(*rig.window);
        paste(box, c.pasted);
        EXPECT_FALSE(hasControl(box->text())) << box->text().toStdString();
        c.send(*rig.window);
        EXPECT_EQ(rig.port.takeWritten(), c.line);
    }
}

TEST(EntryBoxes, TheQuestionDialogsAnswerBoxDropsALineBreak) {
    // The carrier, modulation and sweep questions: the answer goes into a command.
    QtDialogs dialogs;
    bool pasted = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *box = dialog->findChild<QLineEdit *>();
        ASSERT_NE(box, nullptr);
        paste(box, QStringLiteral("7200000 1000 10\r\nS5"));
        pasted = true;
        dialog->accept();
    });
    const std::optional<QString> answer =
        dialogs.getText(nullptr, QStringLiteral("Sweep"), QStringLiteral("Top frequency"));
    EXPECT_TRUE(pasted);
    EXPECT_EQ(answer, QStringLiteral("7200000 1000 10S5"));
}

} // namespace
