#include "install/installerwindow.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace Installer {

InstallerWindow::InstallerWindow(const InstallerLayout &layout, InstallerFiles &files,
                                 InstallerHost &host, QWidget *parent)
    : QWidget(parent), m_layout(layout), m_files(files), m_host(host),
      m_installButton(new QPushButton(QStringLiteral("Install"), this)),
      m_exitButton(new QPushButton(QStringLiteral("Exit"), this)) {
    setObjectName(QStringLiteral("InstallerWindow"));
    setWindowTitle(QStringLiteral("KVT Installer"));
    m_installButton->setObjectName(QStringLiteral("installButton"));
    m_exitButton->setObjectName(QStringLiteral("exitButton"));

    auto *row = new QHBoxLayout(this);
    row->addWidget(m_installButton);
    row->addWidget(m_exitButton);

    connect(m_exitButton, &QPushButton::clicked, this, [this] { m_host.endProgram(); });
}

int InstallerWindow::load() {
    m_outcome = runInstaller(m_layout, m_files, m_host);
    m_host.endProgram();
    return exitStatus(m_layout, m_outcome);
}

} // namespace Installer
