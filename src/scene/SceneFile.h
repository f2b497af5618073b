// The scene file: 79 lines, one per mixer-driving control, their meaning given by position.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

class HostWindow;

inline constexpr int kSceneLineCount = 79;

// The dialogs of both scene commands offer these.
inline const QString kScenePatterns = QStringLiteral("scene (*.scene)|*.scene;|All files (*.*)|*.*");
inline constexpr int kScenePatternIndex = 0;

enum class SceneLineForm {
    FieldText,     // a value field's text, as shown
    CheckBoxState, // "1" checked, "0" clear
};

struct SceneLine {
    int source; // control whose text or state is written
    int target; // control the line is read into: a fader's trackbar rather than its value field
    SceneLineForm form;
};

// Lines 1 to 79 in file order (index 0 is line 1).
const std::array<SceneLine, kSceneLineCount>& SceneLines();

// The text one line holds for the window as it is.
QString SceneLineText(const HostWindow& window, const SceneLine& line);

// What a line read from a file does to its target control.
struct SceneLineEffect {
    bool setsText; // preamp fields take the text as it stands
    QString text;
    std::int64_t state; // otherwise ParseInteger of it: trackbars clamp, check boxes check when non-zero
    bool runsHandler;   // every line but exactly "0" runs the control's handler
};

SceneLineEffect InterpretSceneLine(const SceneLine& line, const QString& text);

// Sets the line's target control from the text read. Runs no handler.
void ApplySceneLine(HostWindow& window, const SceneLine& line, const SceneLineEffect& effect);
