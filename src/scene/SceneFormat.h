// The scene file: 79 lines, one per control that sends to the console, their meaning given by position; what
// each line holds, where the commands let pending input go, and what a line read back does.
// Pure: no window here, so it is tested on bytes and fuzzed without one.
#pragma once

#include "controls/ControlMap.h"

#include <QString>
#include <array>
#include <cstdint>

// One line per value field, preamp gain field, fader-bank box, link box and "M" box.
inline constexpr std::size_t kSceneLineCount = CountWith(ControlRole::ValueField) + CountWith(ControlRole::PreampGain) +
                                               CountWith(ControlRole::FaderBank) + CountWith(ControlRole::Link) +
                                               CountWith(ControlRole::Mute);
static_assert(kSceneLineCount == 79, "scene files on disk have 79 lines");

// The dialogs of both scene commands offer these.
inline const QString kScenePatterns = QStringLiteral("scene (*.scene)|*.scene;|All files (*.*)|*.*");

enum class SceneLineForm {
    FieldText,     // a value field's text, as shown
    CheckBoxState, // "1" checked, "0" clear
};

struct SceneLine {
    int source; // control whose text or state is written
    int target; // control the line is read into: the fader rather than its value field
    SceneLineForm form;
};

// Lines 1 to 79 in file order (index 0 is line 1).
const std::array<SceneLine, kSceneLineCount>& SceneLines();

// Where the commands let pending input go: after the last line of a run of lines from one kind
// of field on one kind of strip (the channel faders, the main fader, ...).
struct DrainPoint {
    ControlRole role; // of the line's source control
    StripKind strip;
    bool loadDrains; // Load and Reset let pending input go after the run
    bool saveDrains; // Save does
};

inline constexpr std::array<DrainPoint, 5> kDrainPoints{{
    {ControlRole::ValueField, StripKind::Channel, true, false},
    {ControlRole::ValueField, StripKind::MainMix, false, true},
    {ControlRole::ValueField, StripKind::Dca, true, false},
    {ControlRole::ValueField, StripKind::Bus, true, false},
    {ControlRole::PreampGain, StripKind::Preamp, true, true},
}};

// Whether Load (and Reset, over the fader lines) drains pending input after line `line` (1-based).
bool LoadDrainsAfter(int line);
// Whether Save does.
bool SaveDrainsAfter(int line);

// The text a line holds, from its source control's text and state.
QString SceneLineText(const SceneLine& line, const QString& fieldText, std::int64_t state);

// What a line read from a file does to the window.
struct SceneLineEffect {
    bool setsText; // preamp fields take the text as it stands
    QString text;
    std::int64_t state; // otherwise ParseInteger of it: faders clamp, check boxes check when non-zero
    bool runsHandler;   // every line but exactly "0" runs the target's handler
    int zeroValueField; // a "0" fader line sends nothing, but this value field must show "0"
    int freedLink;      // a "0" link line: this link box's pair is enabled again
};

SceneLineEffect InterpretSceneLine(const SceneLine& line, const QString& text);
