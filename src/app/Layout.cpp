// Makes every control of the control map, in its order, ties the faders to their handlers and
// binds the tooltips.
#include "app/Layout.h"

#include "controls/ControlMap.h"
#include "controls/ControlNames.h"
#include "controls/Handlers.h"
#include "host/Text.h"
#include "host/Window.h"
#include "osc/ConsoleUnits.h"

#include <QStringList>

namespace {

constexpr int kCaptionGrey = 240;

void Create(HostWindow& window, const Control& control)
{
    const auto [x, y, width, height] = control.rect;
    const QString text = QString::fromLatin1(control.text);
    switch (control.kind) {
    case ControlKind::Caption:
        window.CreateTextField(control.number, x, y, width, height, text, TextFieldStyle::Caption);
        window.SetControlBackground(control.number, kCaptionGrey, kCaptionGrey, kCaptionGrey);
        break;
    case ControlKind::NumberField:
        window.CreateTextField(control.number, x, y, width, height, text, TextFieldStyle::DigitsOnly);
        break;
    case ControlKind::Fader:
        window.CreateFader(control.number, x, y, width, height, 0, 100);
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

void BindFaders(ControlSurface& surface)
{
    for (const Control& fader : ControlsWith(ControlRole::Fader)) {
        surface.window.BindControlHandler(fader.number,
                                          [&surface, fader = fader.number] { FaderHandler(surface, fader); });
    }
}

void ShowDescriptions(HostWindow& window, const StripNames& names)
{
    for (const Control& control : kControls) {
        const Control* stripFader = FindOnStrip(ControlRole::Fader, control.strip, control.stripNumber);
        if (stripFader == nullptr || control.kind == ControlKind::AddressField) {
            continue;
        }
        const QString strip = QString::fromStdString(SpokenName(control));
        const int fader = stripFader->number;
        const bool level = control.role == ControlRole::Fader || control.role == ControlRole::ValueField;
        window.BindToolTip(fader, control.number, [&window, &names, strip, fader, level] {
            const auto name = names.find(fader);
            QStringList lines;
            if (name != names.end() && !name->second.isEmpty()) {
                lines << strip + QStringLiteral(", ") + name->second;
            }
            if (level) {
                const float sent = FromHundredths(static_cast<float>(window.GetControlState(fader)));
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

void RefreshStripDescriptions(HostWindow& window, int number)
{
    const Control& fader = ControlAt(number);
    for (const Control& control : kControls) {
        if (control.strip == fader.strip && control.stripNumber == fader.stripNumber) {
            window.RefreshToolTip(control.number);
        }
    }
}
