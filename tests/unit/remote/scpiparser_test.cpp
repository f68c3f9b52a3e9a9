#include "remote/scpiparser.h"

#include <gtest/gtest.h>

#include "remote/linesplitter.h"
#include "tests/support/printers.h"

#include <QStringList>

namespace {

using Header = ScpiCommand::Header;

// A parsed line as one text: each command as "<header number>[?][=value]" or "E<error>".
QString described(const QByteArray &line) {
    QStringList parts;
    for (const ScpiCommand &c : ScpiParser::parse(line)) {
        if (c.error != 0) {
            parts.append(QStringLiteral("E%1").arg(c.error));
            continue;
        }
        QString part = QString::number(static_cast<int>(c.header));
        if (c.query)
            part += u'?';
        if (!c.text.isEmpty())
            part += QStringLiteral("=\"%1\"").arg(c.text);
        else if (c.number != 0)
            part += QStringLiteral("=%1").arg(c.number, 0, 'f', 0);
        parts.append(part);
    }
    return parts.join(u' ');
}

QString h(Header header, const char *rest = "") {
    return QString::number(static_cast<int>(header)) + QLatin1String(rest);
}

struct ParseCase {
    const char *line;
    QString expected;
};

TEST(ScpiParser, FormsSuffixesChainsAndErrors) {
    const ParseCase cases[] = {
        // Short and long forms in any case, optional nodes left out or written.
        {"FREQ 7050000", h(Header::Carrier, "=7050000")},
        {"frequency 7050000", h(Header::Carrier, "=7050000")},
        {"SOURce:FREQuency:CW 7050000", h(Header::Carrier, "=7050000")},
        {":sour:freq:cw?", h(Header::Carrier, "?")},
        {"FREQU 1", "E-113"}, // neither the short nor the whole long form
        {"SOUR:AM:INT:FREQ 1000", h(Header::Tone, "=1000")},
        {"AM:INTernal:FREQuency?", h(Header::Tone, "?")},
        {"OUTP ON", h(Header::Output, "=1")},
        {"OUTPut:STATe off", h(Header::Output)},
        {"OUTP 0.4", h(Header::Output)}, // a numeric boolean is rounded
        {"OUTP 2", h(Header::Output, "=1")},
        {"*idn?", h(Header::Identify, "?")},
        {"SYST:ERR:NEXT?", h(Header::SystemError, "?")},
        {"MEM:PRES? 12", h(Header::PresetQuery, "?=12")},
        {"MEM:PRES:DATA 5, 7000000,0,16,7.2e6,1000,10;:MEM:PRES? 5",
         h(Header::PresetData) + ' ' + h(Header::PresetQuery, "?=5")},
        {"MEM:PRES:DATA 5,7000000,0,16,7200000,1000", "E-109"},
        {"MEM:PRES:DATA 5,7000000,0,16,7200000,1000,10,1", "E-108"},
        {"MEM:PRES:DATA 5,7 MHZ,0,16,7200000,1000,10", "E-131"},
        {"MEM:PRES:DATA 5,7000000,0,ON,7200000,1000,10", "E-104"},
        {"MEM:PRES:DATA 13,7000000,0,0,0,0,0", "E-222"},
        {"*RCL 3", h(Header::RecallPreset, "=3")},
        {"AM:MODE STILL", h(Header::ModulationKind, "=1")},
        {"AM:MODE tril", h(Header::ModulationKind, "=3")},
        {"AM:MODE OFF", h(Header::ModulationKind)},
        {"MORS \"CQ \"\"DE\"\" OK1\"", h(Header::Morse, "=\"CQ \"DE\" OK1\"")},
        {"MORSe:SEND 'a;b'", h(Header::Morse, "=\"a;b\"")},
        // Suffixes, exponents, rounding to whole hertz and seconds.
        {"FREQ 7.05MHZ", h(Header::Carrier, "=7050000")},
        {"FREQ 7.05 mhz", h(Header::Carrier, "=7050000")},
        {"FREQ 705 kHz", h(Header::Carrier, "=705000")},
        {"FREQ 1.5e3 HZ", h(Header::Carrier, "=1500")},
        {"FREQ 7050000.6", h(Header::Carrier, "=7050001")},
        {"SWE:TIME 2500 MS", h(Header::SweepTime, "=3")},
        {"SWE:TIME 10 S", h(Header::SweepTime, "=10")},
        {"FREQ 10 S", "E-131"},
        {"SWE:TIME 10 HZ", "E-131"},
        {"*SAV 3 HZ", "E-131"},
        {"OUTP 1 HZ", "E-131"},
        // Chains: a command after ';' continues from the last one's node, a leading
        // ':' goes back to the root, common commands leave the path alone.
        {"FREQ:STOP 7.2MHZ;:SWE:STEP 1kHz;TIME 10;:SWE ON",
         h(Header::SweepStop, "=7200000") + u' ' + h(Header::SweepStep, "=1000") + u' ' +
             h(Header::SweepTime, "=10") + u' ' + h(Header::Sweep, "=1")},
        {"SOUR:AM:MODE BEEP;INT:FREQ?",
         h(Header::ModulationKind, "=2") + u' ' + h(Header::Tone, "?")},
        {"SWE:STEP 1;*OPC?;TIME 2", h(Header::SweepStep, "=1") + u' ' +
                                        h(Header::OperationComplete, "?") + u' ' +
                                        h(Header::SweepTime, "=2")},
        {"FREQ:STOP 1;SWE:STEP 1", h(Header::SweepStop, "=1") + QStringLiteral(" E-113")},
        {"FREQ?;;OUTP?;", h(Header::Carrier, "?") + u' ' + h(Header::Output, "?")},
        {"", QString()},
        // An error ends the line: nothing after it is done.
        {"OUTP ON;BOGUS;FREQ 1", h(Header::Output, "=1") + QStringLiteral(" E-113")},
        // Every error the parser reports.
        {"*RST", "E-113"},
        {"*OPC", "E-113"},      // a query only
        {"SWE:POS 5", "E-113"}, // a query only
        {"SWE:PAUS?", "E-113"}, // no query form
        {"FREQ,1", "E-102"},
        {"FREQ 1 2", "E-102"},
        {"FREQ 1,", "E-102"},
        {"FREQ:", "E-102"},
        {"MORS \"open", "E-102"},
        {"FREQ #H10", "E-102"},
        {"FREQ 1e", "E-102"},
        {"FREQ\x01 1", "E-102"},
        {"FREQ ON", "E-104"},
        {"FREQ \"1\"", "E-104"},
        {"AM:MODE LOUD", "E-104"},
        {"AM:MODE 1", "E-104"},
        {"MORS CQ", "E-104"},
        {"OUTP \"ON\"", "E-104"},
        {"*IDN? 1", "E-108"},
        {"SWE:PAUS 1", "E-108"},
        {"FREQ 1,2", "E-108"},
        {"FREQ? 1", "E-108"},
        {"FREQ", "E-109"},
        {"MEM:PRES?", "E-109"},
        {"MORS \"A\rB\"", "E-150"},
        {"MORS \"A\x7f\"", "E-150"},
        {"FREQ 0", "E-222"},
        {"FREQ -5", "E-222"},
        {"FREQ 0.4", "E-222"},
        {"FREQ 1e400", "E-222"},
        {"*SAV 13", "E-222"},
        {"*RCL 0", "E-222"},
        {"MEM:PRES? 0.4", "E-222"},
        {"SWE:TIME 0.4", "E-222"},
    };
    for (const ParseCase &c : cases)
        EXPECT_EQ(described(QByteArray(c.line)), c.expected) << c.line;
}

TEST(LineSplitter, CutsLinesAndBoundsWhatItKeeps) {
    LineSplitter splitter;
    auto texts = [](const QList<LineSplitter::Line> &lines) {
        QStringList out;
        for (const LineSplitter::Line &line : lines)
            out.append(line.overrun ? QStringLiteral("<overrun>") : QString::fromLatin1(line.text));
        return out.join(u'|');
    };
    // CR LF or LF, a line cut across reads, an empty line.
    EXPECT_EQ(texts(splitter.feed("FREQ 1\r\nOUT")), QStringLiteral("FREQ 1"));
    EXPECT_EQ(texts(splitter.feed("P ON\n\n")), QStringLiteral("OUTP ON|"));
    // Exactly the limit passes (with its CR); one byte more is an overrun, reported
    // once however long the line goes on, and the next line is read again.
    const QByteArray longest(LineSplitter::MaxLine, 'A');
    EXPECT_EQ(texts(splitter.feed(longest + "\r\n")), QString::fromLatin1(longest));
    EXPECT_EQ(texts(splitter.feed(longest + "AB")), QStringLiteral("<overrun>"));
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(splitter.feed(QByteArray(4096, 'B')).isEmpty());
    EXPECT_EQ(texts(splitter.feed("B\n*IDN?\n")), QStringLiteral("*IDN?"));
    // The overrun found only at the line's end (a last byte before the LF).
    splitter.feed(longest);
    EXPECT_EQ(texts(splitter.feed("AA\nX\n")), QStringLiteral("<overrun>|X"));
}

} // namespace
