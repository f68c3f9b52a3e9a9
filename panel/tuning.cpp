// Frequency tuning: the carrier and modulation dialogs, Up, Down, Step and the
// direct-entry row.
#include "panel/form1.h"

#include <QKeyEvent>
#include <QLineEdit>

void Form1::connectTuning() {}
QCoro::Task<> Form1::Label1_Click() {
    co_return;
}
QCoro::Task<> Form1::Label2_Click() {
    co_return;
}
void Form1::Command7_Click() {}
void Form1::Command8_Click() {}
void Form1::Command10_Click() {}
void Form1::Command12_Click() {}
bool Form1::directEntryKey(QLineEdit *, QKeyEvent *) {
    return false;
}
