// The Czech captions: what the language box changes, in which windows, and what it
// leaves alone; one-way for the run, English at every start; the presets header.
#include "tests/support/fakes.h"

#include "panel/connectionfailuredialog.h"
#include "panel/infopanel.h"
#include "presets/presetcontrol.h"
#include "presets/presetswindow.h"
#include "presets/telegraphpanel.h"
#include "setup/firmwareupdatedialog.h"
#include "setup/setupdialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <gtest/gtest.h>

#include "tests/support/printers.h"

namespace {

enum class Window { Setup, Main, Telegraph, Presets, Failure, Info, Firmware };

struct Caption {
    Window window;
    const char *control; // objectName; empty for the window title
    const char *english;
    const char *czech; // nullptr: stays English
};

const char *const EnglishHeader =
    "Preset               Carrier freq.    Modulation freq.   Mode    "
    "               Top freq.              Step            Interval  "
    "   ";
const char *const CzechHeader = "Pozice             Hlavní frekv.    Modul. frekv.      Režim      "
                                "           Konečná frekv.      Krok            Interval     ";

const Caption Captions[] = {
    {Window::Setup, "", "Setup", "Nastavení"},
    {Window::Setup, "saveButton", "Save", "Uložit"},
    {Window::Setup, "cancelButton", "Cancel", "Zavřít"},
    {Window::Setup, "oneToOneButton", "1:1 (Fdisp=Fosc)", "1:1 (Fdisp=Fosc)"},
    {Window::Setup, "addButton", "Add (Fdisp=Fosc+Operator)", "Přičítání (Fdisp=Fosc+Operator)"},
    {Window::Setup, "subButton", "Sub (Fdisp=Fosc-Operator)", "Odečítání (Fdisp=Fosc-Operator)"},
    {Window::Setup, "multButton", "Mult (Fdisp=Fosc x Operator)", "Násobení (Fdisp=Fosc*Operator)"},
    {Window::Setup, "divButton", "Div (Fdisp=Fosc / Operator", "Dělení (Fdisp=Fosc/Operator)"},
    {Window::Setup, "displayLabel", "KVT Display present :", "Údaj na displeji generátoru :"},
    {Window::Setup, "coarseStepLabel", "Coarse tuning step :", "Skok při hrubém ladění :"},
    {Window::Telegraph, "speedLabel", "Speed :", "Rychlost"},
    {Window::Main, "carrierEntryLabel", "Carrier freq. :", "Nosná frekvence"},
    {Window::Main, "modulationEntryLabel", "Modulation freq. :", "Modulační frekv."},
    {Window::Main, "subtitleLabel", "Service signal generator 0-40MHz",
     "Servisní generátor 0-40 MHz"},
    {Window::Telegraph, "repeatBox", "Repeat", "Opakovat"},
    {Window::Main, "powerButton", "Power", "Konec"},
    {Window::Main, "directInButton", "Direct in", "Frekv."},
    {Window::Telegraph, "closeButton", "Close", "Konec"},
    {Window::Telegraph, "sendButton", "Send", "Pošli"},
    {Window::Presets, "headerLabel", EnglishHeader, CzechHeader},
    {Window::Presets, "hintLabel", "Click to preset number for select...",
     "Vyberte předvolbu kliknutím na její číslo"},
    {Window::Presets, "", "KVT Presets", "Předvolby"},
    {Window::Presets, "saveFileButton", "Save to file...", "Uložit do souboru..."},
    {Window::Presets, "loadFileButton", "Load from file...", "Načíst ze souboru..."},
    {Window::Failure, "headingLabel", "Communication error !", "Chyba komunikace !"},
    {Window::Failure, "adviceLabel",
     "Here is not any COM port with KVT unit connected. Please check right connection, or check "
     "Windows Control Panels console (hardware management)...",
     "Zkontrolujte připojení generátoru, případně zkontrolujte nastavení počítače..."},
    {Window::Failure, "retryButton", "Retry", "Opakovat"},
    {Window::Failure, "exitButton", "Exit", "Konec"},
    {Window::Failure, "recoverButton", "Recover firmware...", "Obnovit firmware..."},
    {Window::Info, "modelCaption", "Device name :", "Typ zařízení :"},
    {Window::Info, "serialCaption", "Serial number :", "Seriové číslo :"},
    {Window::Info, "dateCaption", "Date of production :", "Datum výroby :"},
    {Window::Info, "firmwareCaption", "Firmware version :", "Verze FW :"},
    {Window::Info, "portCaption", "Serial port :", "Seriový port :"},
    {Window::Info, "connectionCaption", "Connection :", "Připojení :"},
    {Window::Firmware, "progressLabel", "Writing new firmware...", "Zapisuji nový firmware..."},
    // A sample of what stays English.
    {Window::Info, "okButton", "OK", nullptr},
    {Window::Firmware, "", "Firmware update", nullptr},
    {Window::Setup, "operatorLabel", "Operator :", nullptr},
    {Window::Setup, "upgradeButton", "Upgrade FW", nullptr},
    {Window::Setup, "czechBox", "Čeština", nullptr},
    {Window::Main, "", "KVT Control Panel", nullptr},
    {Window::Main, "upButton", "Up", nullptr},
    {Window::Main, "sweepButton", "Sweep", nullptr},
    {Window::Main, "modulationUnitLabel", "Hz", nullptr},
    {Window::Telegraph, "titleLabel", "RADIOTELEGRAPH", nullptr},
    {Window::Presets, "closeButton", "Close", nullptr},
    {Window::Failure, "", "KVT Connection", nullptr},
};

QString captionOf(QWidget &root, const char *control) {
    if (!*control)
        return root.windowTitle();
    QWidget *w = root.findChild<QWidget *>(QLatin1String(control));
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    return QStringLiteral("<no control %1>").arg(QLatin1String(control));
}

// A connected main window with each of the windows that carry captions; with
// `czechFirst`, the box is ticked before the failure and firmware-update windows exist.
struct LanguageRig {
    explicit LanguageRig(bool czechFirst = false) {
        rig.connectOn();
        if (czechFirst)
            box().click();
        failure = new ConnectionFailureDialog(rig.window.get());
        // Upgrade FW creates the firmware-update window (the scripted dialogs only note
        // that it was shown).
        Q_EMIT ui(*rig.window).setupDialog()->upgradeRequested();
    }
    QWidget &window(Window w) {
        switch (w) {
        case Window::Setup:
            return *ui(*rig.window).setupDialog();
        case Window::Main:
            return *rig.window;
        case Window::Telegraph:
            return *rig.window->findChild<TelegraphPanel *>();
        case Window::Presets:
            return ui(*rig.window).presetsWindow();
        case Window::Failure:
            return *failure;
        case Window::Info:
            return *rig.window->findChild<InfoPanel *>();
        case Window::Firmware:
            return *rig.window->findChild<FirmwareUpdateDialog *>();
        }
        return *rig.window;
    }
    QCheckBox &box() { return *control<QCheckBox>(*ui(*rig.window).setupDialog(), "czechBox"); }
    void expectCaptions(bool czech) {
        for (const Caption &c : Captions)
            EXPECT_EQ(captionOf(window(c.window), c.control),
                      QString::fromUtf8(czech && c.czech ? c.czech : c.english))
                << c.control;
    }

    PanelRig rig;
    ConnectionFailureDialog *failure;
};

TEST(Language, TickingSwitchesTheListedCaptionsOfEveryWindowForTheRestOfTheRun) {
    LanguageRig l;
    l.window(Window::Setup); // the failure, setup and main windows exist; presets not yet
    EXPECT_FALSE(l.box().isChecked());
    for (const Caption &c : Captions) {
        if (c.window == Window::Presets)
            continue;
        EXPECT_EQ(captionOf(l.window(c.window), c.control), QString::fromUtf8(c.english));
    }

    l.box().click();
    // The presets window is opened for the first time after the switch.
    l.expectCaptions(true);

    l.box().click(); // unticked: nothing changes back
    l.expectCaptions(true);
    l.box().click(); // ticked again
    l.expectCaptions(true);
}

TEST(Language, WindowsCreatedAfterTheSwitchStartWithTheCzechCaptions) {
    LanguageRig l(true);
    l.expectCaptions(true);
}

TEST(Language, EveryMainWindowStartsInEnglish) {
    {
        LanguageRig first;
        first.box().click();
    }
    LanguageRig second;
    EXPECT_FALSE(second.box().isChecked());
    second.expectCaptions(false);
}

TEST(Language, WideRangeSubtitleIsNotReplacedByTheCzechCaption) {
    PanelRig rig;
    rig.connectOn(2, "KVT21v2.05\r\n");
    const QString wide = rig.window->findChild<QLabel *>("subtitleLabel")->text();
    control<QCheckBox>(*ui(*rig.window).setupDialog(), "czechBox")->click();
    EXPECT_EQ(rig.window->findChild<QLabel *>("subtitleLabel")->text(), wide);
}

// The columns start exactly where their titles start in the header, in both languages,
// whether the window existed before the switch or not; the hint line fits.
TEST(Language, PresetColumnsStandUnderTheirTitles) {
    const char *english[] = {"Preset",    "Carrier freq.", "Modulation freq.", "Mode",
                             "Top freq.", "Step",          "Interval"};
    const char *czech[] = {"Pozice",         "Hlavní frekv.", "Modul. frekv.", "Režim",
                           "Konečná frekv.", "Krok",          "Interval"};
    const auto expectAligned = [](PresetsWindow &w, const char *const *titles) {
        const QString header = w.findChild<QLabel *>("headerLabel")->text();
        const QFontMetrics metrics(w.findChild<QLabel *>("headerLabel")->font());
        const char *columns[] = {"numberCells", "carrierCells", "modulationCells", "modeCells",
                                 "topCells",    "stepCells",    "intervalCells"};
        for (int c = 0; c < 7; ++c) {
            const qsizetype at = header.indexOf(QString::fromUtf8(titles[c]));
            ASSERT_GE(at, 0) << titles[c];
            for (int row : {0, 11}) {
                const QString name =
                    QStringLiteral("%1(%2)").arg(QLatin1String(columns[c])).arg(row);
                EXPECT_EQ(w.findChild<QLabel *>(name)->x(),
                          10 + metrics.horizontalAdvance(header.left(at)))
                    << titles[c] << " row " << row;
            }
        }
        // The hint line is whole, left of the file buttons.
        const QLabel *hint = w.findChild<QLabel *>("hintLabel");
        EXPECT_LE(hint->fontMetrics().horizontalAdvance(hint->text()), hint->width());
        EXPECT_LT(hint->geometry().right(), w.findChild<QWidget *>("saveFileButton")->x());
    };
    LanguageRig before;
    PresetsWindow &opened = ui(*before.rig.window).presetsWindow();
    expectAligned(opened, english);
    before.box().click();
    expectAligned(opened, czech);

    LanguageRig after;
    after.box().click();
    expectAligned(ui(*after.rig.window).presetsWindow(), czech);
}

} // namespace
