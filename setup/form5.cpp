#include "setup/form5.h"

#include "link/devicestate.h"

#include <QCheckBox>

Form5::Form5(DeviceState &state, QWidget *parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Setup"));
    Check1 = new QCheckBox(QStringLiteral("Čeština"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->move(12, 12);
}
