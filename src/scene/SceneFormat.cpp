// The scene file's line table from the control map, where the commands drain, and what a line read does.
#include "scene/SceneFormat.h"

#include "controls/ControlMap.h"
#include "host/Text.h"

#include <algorithm>
#include <cassert>

namespace {

// Faders (by their value fields), preamps, fader banks, links, then the "M" boxes; within each
// role the map's order, which is that of the control numbers.
constexpr std::array<SceneLine, kSceneLineCount> MakeSceneLines()
{
    std::array<SceneLine, kSceneLineCount> lines{};
    std::size_t next = 0;
    for (const Control& field : ControlsWith(ControlRole::ValueField)) {
        lines[next++] = {field.number, field.fader, SceneLineForm::FieldText};
    }
    for (const Control& field : ControlsWith(ControlRole::PreampGain)) {
        lines[next++] = {field.number, field.number, SceneLineForm::FieldText};
    }
    for (const ControlRole role : {ControlRole::FaderBank, ControlRole::Link, ControlRole::Mute}) {
        for (const Control& box : ControlsWith(role)) {
            lines[next++] = {box.number, box.number, SceneLineForm::CheckBoxState};
        }
    }
    return lines;
}

constexpr std::array<SceneLine, kSceneLineCount> kSceneLines = MakeSceneLines();

// The drain point of the run that ends at `line` (1-based); null where the run goes on.
const DrainPoint* DrainPointAfter(int line)
{
    const auto index = static_cast<std::size_t>(line - 1);
    assert(line >= 1 && index < kSceneLines.size());
    const Control& source = ControlAt(kSceneLines[index].source);
    if (index + 1 < kSceneLines.size()) {
        const Control& next = ControlAt(kSceneLines[index + 1].source);
        if (next.role == source.role && next.strip == source.strip) {
            return nullptr;
        }
    }
    const auto found = std::find_if(kDrainPoints.begin(), kDrainPoints.end(), [&source](const DrainPoint& point) {
        return point.role == source.role && point.strip == source.strip;
    });
    return found == kDrainPoints.end() ? nullptr : &*found;
}

} // namespace

const std::array<SceneLine, kSceneLineCount>& SceneLines()
{
    return kSceneLines;
}

bool LoadDrainsAfter(int line)
{
    const DrainPoint* point = DrainPointAfter(line);
    return point != nullptr && point->loadDrains;
}

bool SaveDrainsAfter(int line)
{
    const DrainPoint* point = DrainPointAfter(line);
    return point != nullptr && point->saveDrains;
}

QString SceneLineText(const SceneLine& line, const QString& fieldText, std::int64_t state)
{
    return line.form == SceneLineForm::FieldText ? fieldText : IntegerToText(state);
}

SceneLineEffect InterpretSceneLine(const SceneLine& line, const QString& text)
{
    const bool setsText = line.form == SceneLineForm::FieldText && line.target == line.source;
    // The comparison is on the text: "00", "+0", " 0" and an empty line all run the handler.
    const bool zeroLine = text == QLatin1String("0");
    const Control& target = ControlAt(line.target);
    return {setsText,
            text,
            setsText ? 0 : ParseInteger(text),
            !zeroLine,
            zeroLine && target.role == ControlRole::Fader ? target.valueField : 0,
            zeroLine && target.role == ControlRole::Link ? target.number : 0};
}
