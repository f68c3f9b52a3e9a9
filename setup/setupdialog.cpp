#include "setup/setupdialog.h"

#include "link/devicestate.h"

#include <QCheckBox>

SetupDialog::SetupDialog(DeviceState &state, QWidget *parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("SetupDialog"));
    setWindowTitle(QStringLiteral("Setup"));
    czechBox = new QCheckBox(QStringLiteral("Čeština"), this);
    czechBox->setObjectName(QStringLiteral("czechBox"));
    czechBox->move(12, 12);
}
