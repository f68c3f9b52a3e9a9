#include "panel/infoexchange.h"

#include "instrument/instrument.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

InfoExchange::InfoExchange(const PanelContext &context, QObject *parent)
    : QObject(parent), m_context(context) {}

QCoro::Task<> InfoExchange::readIdentity() {
    return m_context.instrument.readIdentity();
}

void InfoExchange::stampToday() {
    m_context.instrument.stampProductionDate(m_context.services.today());
}
