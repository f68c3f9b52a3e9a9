#include "setup/setupdialog.h"

#include "link/devicestate.h"

#include <QCheckBox>

SetupDialog::SetupDialog(DeviceState &state, QWidget *parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("SetupDialog"));
    setWindowTitle(QStringLiteral("Setup"));
    m_czechBox = new QCheckBox(QStringLiteral("Čeština"), this);
    m_czechBox->setObjectName(QStringLiteral("czechBox"));
    m_czechBox->move(12, 12);
}

bool SetupDialog::czechChecked() const {
    return m_czechBox->isChecked();
}
