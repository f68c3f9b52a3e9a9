#include "panel/infoexchange.h"

#include "link/commands.h"
#include "link/link.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

InfoExchange::InfoExchange(const PanelContext &context, QObject *parent)
    : QObject(parent), m_context(context) {}

QCoro::Task<> InfoExchange::readIdentity() {
    Link &link = m_context.link;
    co_await link.ask(Commands::serialNumberQuery(), QStringLiteral("B"), 100);
    co_await link.ask(Commands::productionDateQuery(), QStringLiteral("T"), 100);
}

void InfoExchange::stampToday() {
    m_context.link.sendCommand(Commands::stampProductionDate(m_context.services.today()));
}
