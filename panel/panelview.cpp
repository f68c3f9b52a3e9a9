#include "panel/panelview.h"

#include "link/devicestate.h"
#include "link/numbers.h"

QString stepText(qint32 tuneStep) {
    // The thresholds are 999 and 999999, so 999 Hz already reads "0.999kHz" and
    // 999999 Hz "1MHz", as the generator's own display does.
    if (tuneStep >= 999999)
        return QStringLiteral("1MHz");
    if (tuneStep >= 999)
        return Numbers::plain(tuneStep / 1000.0) + QStringLiteral("kHz");
    return Numbers::plain(qint64{tuneStep}) + QStringLiteral("Hz");
}

std::optional<PanelView> renderPanel(const DeviceState &state, const PanelViewState &own) {
    // While a radiotelegraph text is keyed the panel stays exactly as it is.
    if (state.telegraphBusy)
        return std::nullopt;

    const bool sweeping = state.sweeping;
    PanelView view;

    view.carrier = Numbers::groupedFrequency(sweeping ? static_cast<double>(state.sweepFreq)
                                                      : state.carrierFreq);
    view.modulation = Numbers::plain(qint64{state.modFreq});
    view.step = QStringLiteral("Step : ") + stepText(own.tuneStep);

    switch (state.modMode) {
    case 0:
        view.modKind = QStringLiteral("Mod. : None");
        break;
    case 1:
        view.modKind = QStringLiteral("Mod. : Still");
        break;
    case 2:
        view.modKind = QStringLiteral("Mod. : Beep");
        break;
    case 3:
        view.modKind = QStringLiteral("Mod. : Trill");
        break;
    default:
        break; // an unknown mode leaves the line as it was
    }
    if (state.modMode == 0)
        view.modulation.clear();

    if (state.outputOn == 0) {
        view.carrier = QStringLiteral("0");
        view.modulation = QStringLiteral("OFF");
        view.outputLamp = false;
    } else {
        view.outputLamp = true;
    }

    view.mode = state.activePreset != 0
                    ? QStringLiteral("P ") + Numbers::plain(qint64{state.activePreset})
                    : QStringLiteral("MAN");

    if (sweeping) {
        view.sweepLamp = true;
        view.modKind = QStringLiteral("Mod. : Still");
        view.mode = QStringLiteral("SWEEP");
        view.upDownEnabled = false;
    } else {
        view.sweepLamp = false;
        view.upDownEnabled = true;
    }
    return view;
}

PanelCaptions renderCaptions(const DeviceState &state, const PanelViewState &own) {
    PanelCaptions captions;
    captions.sweepButton = state.sweeping && !own.stoppedSinceSweep ? QStringLiteral("Pause")
                                                                    : QStringLiteral("Sweep");
    captions.kvt20Controls = own.lineUp && state.modelName == QLatin1String("KVT 20");
    captions.wideSubtitle = state.wideRange == 1;
    captions.model = state.modelName;
    captions.remote = own.remoteClients > 0;
    return captions;
}
