// Makes every control of the control map, in its order, ties the faders to their handlers and
// binds the tooltips.
#include "app/Layout.h"

#include "host/Text.h"
#include "host/Window.h"
#include "osc/ConsoleUnits.h"
#include "controls/ControlMap.h"
#include "controls/ControlNames.h"
#include "controls/Handlers.h"

#include <QStringList>

namespace {

constexpr int kLabelGrey = 240;

void Create(HostWindow& window, const Control& control)
{
    const auto [x, y, width, height] = control.rect;
    const QString text = QString::fromLatin1(control.text);
    switch (control.kind) {
    case ControlKind::Caption:
        window.CreateTextField(control.number, x, y, width, height, text, TextFieldStyle::Caption);
        window.SetControlBackground(control.number, kLabelGrey, kLabelGrey, kLabelGrey);
        break;
    case ControlKind::NumberField:
        window.CreateTextField(control.number, x, y, width, height, text, TextFieldStyle::DigitsOnly);
        break;
    case ControlKind::Trackbar:
        window.CreateTrackbar(control.number, x, y, width, height, 0, 100);
        break;
    case ControlKind::CheckBox:
        window.CreateCheckBox(control.number, x, y, width, height, text);
        break;
    case ControlKind::PushButton:
        window.CreatePushButton(control.number, x, y, width, height, text);
        break;
    case ControlKind::AddressField:
        return; // made by the configuration step, before everything else
    }
    window.SetControlName(control.number, QString::fromStdString(SpokenName(control)));
}

} // namespace

void CreateControls(HostWindow& window)
{
    for (const Control& control : kControls) {
        Create(window, control);
    }
}

void BindTrackbars(Mixer& mixer)
{
    for (const Control& fader : ControlsWith(ControlRole::Fader)) {
        mixer.window.BindControlHandler(fader.number,
                                        [&mixer, trackbar = fader.number] { FaderHandler(mixer, trackbar); });
    }
}

void ShowDescriptions(HostWindow& window, const StripNames& names)
{
    for (const Control& control : kControls) {
        const Control* fader = FindOnStrip(ControlRole::Fader, control.strip, control.stripNumber);
        if (fader == nullptr || control.kind == ControlKind::AddressField) {
            continue;
        }
        const QString strip = QString::fromStdString(SpokenName(control));
        const int trackbar = fader->number;
        const bool level = control.role == ControlRole::Fader || control.role == ControlRole::FaderLevel;
        window.BindToolTip(trackbar, control.number, [&window, &names, strip, trackbar, level] {
            const auto name = names.find(trackbar);
            QStringList lines;
            if (name != names.end() && !name->second.isEmpty()) {
                lines << strip + QStringLiteral(", ") + name->second;
            }
            if (level) {
                const float sent = FromHundredths(static_cast<float>(window.GetControlState(trackbar)));
                lines << QStringLiteral("Console level: ") + QString::fromStdString(FormatFaderLevel(sent));
            }
            return lines.join(u'\n');
        });
    }
    for (const Control& gain : ControlsWith(ControlRole::PreampGain)) {
        window.BindToolTip(gain.number, gain.number, [&window, field = gain.number] {
            const float sent = FromHundredths(ParseFloat(window.GetControlText(field)));
            return QStringLiteral("Console gain: ") + QString::fromStdString(FormatPreampGain(sent));
        });
    }
}

void RefreshStripDescriptions(HostWindow& window, int fader)
{
    const Control& trackbar = ControlAt(fader);
    for (const Control& control : kControls) {
        if (control.strip == trackbar.strip && control.stripNumber == trackbar.stripNumber) {
            window.RefreshToolTip(control.number);
        }
    }
}
