// Preset save (MS) and recall (MR), and the read-out of the twelve presets.
#include "panel/form1.h"

void Form1::connectPresets() {}
QCoro::Task<> Form1::Command2_Click() {
    co_return;
}
QCoro::Task<> Form1::Command3_Click() {
    co_return;
}
QCoro::Task<bool> Form1::GetPresets() {
    co_return false;
}
