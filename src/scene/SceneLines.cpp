// The scene file's line table and what a line read does; no window here, so it links without Qt Widgets.
#include "scene/SceneFile.h"

#include "host/Text.h"

namespace {

constexpr std::array<SceneLine, kSceneLineCount> MakeSceneLines()
{
    std::array<SceneLine, kSceneLineCount> lines{};
    std::size_t next = 0;
    for (int field = 117; field <= 149; ++field) { // channel, LR, DCA and bus faders
        lines[next++] = {field, field - 33, SceneLineForm::FieldText};
    }
    for (int field = 156; field <= 186; field += 2) { // preamps
        lines[next++] = {field, field, SceneLineForm::FieldText};
    }
    for (int box = 67; box <= 79; ++box) { // fader banks and links
        lines[next++] = {box, box, SceneLineForm::CheckBoxState};
    }
    for (int box = 188; box <= 204; ++box) { // "M" of channels 1 to 16, then LR
        lines[next++] = {box, box, SceneLineForm::CheckBoxState};
    }
    return lines;
}

constexpr std::array<SceneLine, kSceneLineCount> kSceneLines = MakeSceneLines();

} // namespace

const std::array<SceneLine, kSceneLineCount>& SceneLines()
{
    return kSceneLines;
}

SceneLineEffect InterpretSceneLine(const SceneLine& line, const QString& text)
{
    const bool setsText = line.form == SceneLineForm::FieldText && line.target == line.source;
    // The comparison is on the text: "00", "+0", " 0" and an empty line all run the handler.
    return {setsText, text, setsText ? 0 : ParseInteger(text), text != QLatin1String("0")};
}
