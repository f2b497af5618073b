// The conversions between the window's controls and scene lines.
#include "scene/SceneFile.h"

#include "host/Text.h"
#include "host/Window.h"

QString SceneLineText(const HostWindow& window, const SceneLine& line)
{
    return line.form == SceneLineForm::FieldText ? window.GetControlText(line.source)
                                                 : IntegerToText(window.GetControlState(line.source));
}

void ApplySceneLine(HostWindow& window, const SceneLine& line, const SceneLineEffect& effect)
{
    if (effect.setsText) {
        window.SetControlText(line.target, effect.text);
    } else {
        window.SetControlState(line.target, effect.state);
    }
}
