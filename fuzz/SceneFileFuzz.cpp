// libFuzzer target: any scene file applied to stand-in controls: only the 79 targets change, each within its range.
#include "FuzzInputFile.h"
#include "scene/SceneFormat.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// The controls a load sets, as the window keeps them: faders hold 0 to 100, check boxes 0 or 1.
struct StandInControls {
    std::map<int, std::int64_t> states;
    std::map<int, QString> texts;

    void Apply(const SceneLine& line, const SceneLineEffect& effect)
    {
        if (effect.setsText)
            texts[line.target] = effect.text;
        else if (line.form == SceneLineForm::CheckBoxState)
            states[line.target] = effect.state != 0 ? 1 : 0;
        else
            states[line.target] = std::clamp<std::int64_t>(effect.state, 0, 100);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzInputFile input;
    TextFile file;
    input.Open(file, data, size);
    StandInControls controls;
    // The table bounds the reads: lines after line 79 are never read.
    for (const SceneLine& line : SceneLines()) {
        const QString text = ReadLine(file);
        const SceneLineEffect effect = InterpretSceneLine(line, text);
        if (effect.runsHandler != (text != QLatin1String("0")) || (effect.setsText && effect.text != text))
            std::abort();
        controls.Apply(line, effect);
    }

    // 79 lines, 79 different controls, every one of them a line's target, each value in range.
    if (SceneLines().size() != kSceneLineCount || controls.states.size() + controls.texts.size() != kSceneLineCount)
        std::abort();
    for (const SceneLine& line : SceneLines()) {
        const bool isText = controls.texts.contains(line.target);
        if (isText == controls.states.contains(line.target))
            std::abort();
        const std::int64_t state = isText ? 0 : controls.states[line.target];
        if (state < 0 || state > (line.form == SceneLineForm::CheckBoxState ? 1 : 100))
            std::abort();
    }
    return 0;
}
