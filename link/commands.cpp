#include "link/commands.h"

#include "link/numbers.h"

namespace Commands {

namespace {
QString letter(char c) {
    return QString(QLatin1Char(c));
}
QString withNumber(char c, qint64 value) {
    return QLatin1Char(c) + Numbers::plain(qint64(value));
}
} // namespace

QString pollCarrier() {
    return letter('G');
}
QString pollModulation() {
    return letter('I');
}
QString pollState() {
    return letter('J');
}
QString pollStep() {
    return letter('H');
}

QString serialNumberQuery() {
    return letter('B');
}
QString productionDateQuery() {
    return letter('T');
}
QString stampProductionDate(const QDate &date) {
    return QStringLiteral("U132 %1 %2 %3")
        .arg(date.day())
        .arg(date.month())
        .arg(date.year() - 2000);
}

QString setCarrier(double hz) {
    return QLatin1Char('F') + Numbers::plain(hz);
}
QString setCarrierAsTyped(const QString &text) {
    return QLatin1Char('F') + text;
}
QString setModulationAsTyped(const QString &text) {
    return QLatin1Char('A') + text;
}
QString setModulationMode(int mode) {
    return withNumber('M', mode);
}
QString outputOn() {
    return letter('1');
}
QString outputOff() {
    return letter('0');
}

QString startSweep(const QString &upper, const QString &step, const QString &interval) {
    return QLatin1Char('W') + upper + QLatin1Char(' ') + step + QLatin1Char(' ') + interval;
}
QString pauseSweep() {
    return letter('P');
}

QString savePreset(int number) {
    return withNumber('S', number);
}
QString recallPreset(int number) {
    return withNumber('R', number);
}
QString presetQuery(int number) {
    return withNumber('K', number);
}

QString keyMorse(int elementMs, const QString &text) {
    return withNumber('Q', elementMs) + QLatin1Char(' ') + text;
}

QString displayOperatorQuery() {
    return letter('Y');
}
QString coarseStepQuery() {
    return letter('V');
}
QString setDisplayOperator(int mode, int32_t value) {
    return withNumber('Z', mode) + QLatin1Char(' ') + Numbers::plain(qint64(value));
}
QString setCoarseStep(int32_t hz) {
    return withNumber('X', hz);
}

Question carrierQuestion() {
    return {pollCarrier(), QStringLiteral("FW")};
}
Question modulationQuestion() {
    return {pollModulation(), QStringLiteral("A")};
}
Question modulationKindQuestion() {
    return {pollState(), QStringLiteral("M")};
}
Question outputQuestion() {
    return {pollStep(), QStringLiteral("S")};
}
Question serialNumberQuestion() {
    return {serialNumberQuery(), QStringLiteral("B")};
}
Question productionDateQuestion() {
    return {productionDateQuery(), QStringLiteral("T")};
}
Question presetQuestion(int number) {
    return {presetQuery(number), QStringLiteral("K")};
}
Question displayOperatorQuestion() {
    return {displayOperatorQuery(), QStringLiteral("Y")};
}
Question coarseStepQuestion() {
    return {coarseStepQuery(), QStringLiteral("V")};
}

} // namespace Commands
