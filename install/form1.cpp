#include "install/form1.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace Installer {

Form1::Form1(const InstallerLayout &layout, InstallerFiles &files, InstallerHost &host,
             QWidget *parent)
    : QWidget(parent), m_layout(layout), m_files(files), m_host(host),
      Command2(new QPushButton(QStringLiteral("Install"), this)),
      Command1(new QPushButton(QStringLiteral("Exit"), this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("KVT Installer"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1->setObjectName(QStringLiteral("Command1"));

    auto *row = new QHBoxLayout(this);
    row->addWidget(Command2);
    row->addWidget(Command1);

    connect(Command1, &QPushButton::clicked, this, [this] { m_host.endProgram(); });
}

int Form1::load() {
    m_outcome = runInstaller(m_layout, m_files, m_host);
    m_host.endProgram();
    return m_outcome.started ? 0 : 1;
}

} // namespace Installer
