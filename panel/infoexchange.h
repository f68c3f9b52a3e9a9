#pragma once

#include <QObject>
#include <qcoro/qcorotask.h>

struct PanelContext;

// The information panel's exchange with the generator, without a widget: the identity
// number and the production date asked anew ("B", "T"), and the factory's stamp of
// today's date as the production date ("U132 ..."). InfoPanel shows what it reads.
class InfoExchange final : public QObject {
    Q_OBJECT
public:
    explicit InfoExchange(const PanelContext &context, QObject *parent = nullptr);

    // Asks for the identity number and the production date, each answer waited for up
    // to 100 ms; a generator that does not answer leaves the values known before.
    QCoro::Task<> readIdentity();
    // Stores today's date in the generator as its production date.
    void stampToday();

private:
    const PanelContext &m_context;
};
