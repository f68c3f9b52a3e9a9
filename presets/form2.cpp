#include "presets/form2.h"

#include "link/devicestate.h"

Form2::Form2(DeviceState &state, QWidget *parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("KVT Presets"));
}
