// A console value or name shown in the window; the user's hand wins over the console.
#include "app/ConsoleView.h"

#include "app/Meters.h"
#include "controls/Handlers.h"
#include "host/Text.h"
#include "host/Window.h"
#include "osc/ConsoleUnits.h"

#include <algorithm>

namespace {

void ShowFader(HostWindow& window, const Control& fader, float value)
{
    if (window.UserHolds(fader.number)) {
        return; // the user's own send will set the console
    }
    window.SetControlState(fader.number, std::clamp<std::int64_t>(ToHundredths(value), 0, 100));
    if (!window.UserHolds(fader.valueField)) {
        window.SetControlText(fader.valueField, IntegerToText(window.GetControlState(fader.number)));
    }
}

// A preamp gain field, an "M" box or a link box: the console keeps switches and links as 0 or 1,
// and a value between reads as the nearer.
void ShowValue(HostWindow& window, const Control& control, float value)
{
    const bool one = value >= 0.5f;
    if (control.role == ControlRole::Fader) {
        ShowFader(window, control, value);
    } else if (control.role == ControlRole::PreampGain) {
        if (!window.UserHolds(control.number)) {
            window.SetControlText(control.number, IntegerToText(ToHundredths(value)));
        }
    } else if (control.role == ControlRole::Mute) {
        window.SetControlState(control.number, one ? 0 : 1); // the console keeps "on"; a checked "M" is off
    } else {
        window.SetControlState(control.number, one ? 1 : 0);
        EnableFollower(window, control.number, !one);
    }
}

} // namespace

void ShowConsoleChange(HostWindow& window, StripNames& names, const ConsoleChange& change)
{
    if (change.kind == ConsoleChange::Kind::Value) {
        ShowValue(window, *change.control, change.value);
    } else if (change.kind == ConsoleChange::Kind::Name) {
        QString& name = names[change.control->number];
        const QString named = QString::fromUtf8(change.name);
        if (name != named) {
            name = named;
            RefreshStripDescriptions(window, change.control->number);
            NameMeter(window, names, *change.control);
        }
    }
}
