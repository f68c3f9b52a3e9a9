#include "panel/power.h"

#include "instrument/connection.h"
#include "instrument/instrument.h"
#include "link/devicestate.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QDir>
#include <QPushButton>

Power::Power(const PanelContext &context, Connection &connection, QPushButton *powerButton,
             QObject *parent)
    : QObject(parent), m_context(context), m_connection(connection) {
    connect(powerButton, &QPushButton::clicked, this, &Power::press);
}

void Power::press() {
    // A generator found once leaves the settings worth keeping even when its line is
    // lost at the moment: the port number is still the one it answered on.
    if (m_context.state.connected || m_connection.generatorFound()) {
        const QString path = m_context.instrument.settingsPath();
        QString reason;
        if (!m_context.instrument.writeSettings(&reason)) {
            // The old file stays as it was; the user must know the settings are not saved.
            m_context.services.dialogs->message(
                m_context.window, QStringLiteral("KVT Control Panel"),
                QStringLiteral("The settings could not be saved to %1: %2")
                    .arg(QDir::toNativeSeparators(path), reason));
        }
    }
    m_connection.endProgram();
}
