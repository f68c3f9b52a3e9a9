#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

// Every line the program sends to the generator, built in one place. Link::sendCommand
// adds CR LF; these functions give the text before it. The replies that come back are
// read by replyparser.h beside this file.
//
// Numbers the program computes go out in plain decimal (Numbers::plain). Values the
// user typed go out exactly as typed ("...AsTyped"): the generator judges them, and
// its replies to the next poll show what it made of them.
namespace Commands {

// A question to the generator: the line that asks it and the letters of the frames
// that answer it (Link::ask waits for one of them).
struct Question {
    QString command;
    QString answeredBy;
};

// The poll: four queries whose replies carry the carrier, the modulation frequency,
// the state word and the step.
QString pollCarrier();    // "G"
QString pollModulation(); // "I"
QString pollState();      // "J"
QString pollStep();       // "H"
// The same four as questions, in the poll's order: the carrier (answered by F, or by W
// during a sweep), the modulation frequency (A), the modulation kind (M), the output (S).
Question carrierQuestion();
Question modulationQuestion();
Question modulationKindQuestion();
Question outputQuestion();

// Identity: serial number and production date.
QString serialNumberQuery();       // "B"
QString productionDateQuery();     // "T"
Question serialNumberQuestion();   // answered by B
Question productionDateQuestion(); // answered by T
// The factory's production-date stamp: "U132 <day> <month> <year - 2000>".
QString stampProductionDate(const QDate &date);

// Tuning.
QString setCarrier(double hz);                     // "F<hz>", plain decimal
QString setCarrierAsTyped(const QString &text);    // "F" + text
QString setModulationAsTyped(const QString &text); // "A" + text
QString setModulationMode(int mode);               // "M<mode>", 0 none .. 3 trill
QString outputOn();                                // "1"
QString outputOff();                               // "0" (also ends a running sweep)

// Sweep from the carrier up: "W<upper> <step> <interval>", each as typed.
QString startSweep(const QString &upper, const QString &step, const QString &interval);
QString pauseSweep(); // "P"

// Presets 1 to 12.
QString savePreset(int number);      // "S<n>"
QString recallPreset(int number);    // "R<n>"
QString presetQuery(int number);     // "K<n>"
Question presetQuestion(int number); // answered by K

// Morse: "Q<element length in ms> <text>".
QString keyMorse(int elementMs, const QString &text);

// Setup: display operator and coarse step.
QString displayOperatorQuery();                      // "Y"
QString coarseStepQuery();                           // "V"
Question displayOperatorQuestion();                  // answered by Y
Question coarseStepQuestion();                       // answered by V
QString setDisplayOperator(int mode, int32_t value); // "Z<mode> <value>"
QString setCoarseStep(int32_t hz);                   // "X<hz>"

} // namespace Commands
