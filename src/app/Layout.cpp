// Every control of the window at its number, place, size and caption, in creation order.
#include "app/Layout.h"

#include "host/Text.h"
#include "host/Window.h"
#include "osc/ConsoleUnits.h"
#include "osc/Handlers.h"

#include <array>

namespace {

// Row origins: the channel row, the DCA and bus row, the right-hand column.
constexpr int kChannelRow = 35;
constexpr int kGroupRow = 324;
constexpr int kRightColumn = 20;

constexpr int kLabelGrey = 240;

struct Strip {
    const char* label;
    int labelX;
    int x;      // trackbar and value field
    int extraX; // channel row: the "M" box; DCA and bus row: unused
};

// Labels and "M" boxes sit a few pixels off the 30-pixel grid, differently per strip.
constexpr std::array<Strip, 17> kChannelStrips{{
    {"01", 18, 15, 16},
    {"02", 48, 45, 46},
    {"03", 78, 75, 76},
    {"04", 108, 105, 106},
    {"05", 138, 135, 136},
    {"06", 168, 165, 166},
    {"07", 198, 195, 196},
    {"08", 228, 225, 226},
    {"09", 258, 255, 256},
    {"10", 285, 285, 286},
    {"11", 315, 315, 316},
    {"12", 345, 345, 346},
    {"13", 375, 375, 375},
    {"14", 405, 405, 405},
    {"15", 435, 435, 435},
    {"16", 468, 465, 466},
    {"LR", 502, 500, 502},
}};

constexpr std::array<Strip, 16> kGroupStrips{{
    {"D1", 18, 15, 0},
    {"D2", 48, 45, 0},
    {"D3", 78, 75, 0},
    {"D4", 108, 105, 0},
    {"D5", 138, 135, 0},
    {"D6", 168, 165, 0},
    {"D7", 198, 195, 0},
    {"D8", 228, 225, 0},
    {"B1", 285, 285, 0},
    {"B2", 315, 315, 0},
    {"B3", 345, 345, 0},
    {"B4", 375, 375, 0},
    {"B5", 405, 405, 0},
    {"B6", 435, 435, 0},
    {"B7", 468, 465, 0},
    {"B8", 495, 495, 0},
}};

// Preamp labels: 3 pixels right of their field, except inputs 10 to 15.
constexpr std::array<int, 16> kPreampLabelX{18,  48,  78,  108, 138, 168, 198, 228,
                                            258, 285, 315, 345, 375, 405, 435, 468};

struct Button {
    int number;
    const char* caption;
};

constexpr std::array<const char*, 13> kCheckBoxCaptions{
    "CH 1-8",     "CH 9-16",    "CHX 1-16",   "DCA 1-8",    "BUS 1-8",    "Link 01-02", "Link 03-04",
    "Link 05-06", "Link 07-08", "Link 09-10", "Link 11-12", "Link 13-14", "Link 15-16",
};
constexpr int kFirstCheckBox = 67;
constexpr int kBankBoxes = 5;

constexpr std::array<Button, 5> kButtons{{
    {80, "Load Scene"},
    {81, "Save Scene"},
    {150, "Edit Config.ini"},
    {82, "Reset"},
    {83, "Updates"},
}};

void SetLabelGrey(HostWindow& window, int number)
{
    window.SetControlBackground(number, kLabelGrey, kLabelGrey, kLabelGrey);
}

} // namespace

void CreateControls(HostWindow& window)
{
    for (int input = 0; input < 16; ++input) {
        window.CreateTextField(156 + 2 * input, 15 + 30 * input, 25, 26, 20, QStringLiteral("0"), kDigitsOnly);
        window.CreateTextField(157 + 2 * input, kPreampLabelX[input], 7, 20, 15,
                               QStringLiteral("P%1").arg(input + 1, 2, 10, QLatin1Char('0')), kNoBorder);
    }
    for (int strip = 0; strip < 17; ++strip) {
        const Strip& s = kChannelStrips[strip];
        window.CreateTrackbar(84 + strip, s.x, kChannelRow + 30, 20, 200, 0, 100, kTrackbarTicks | kTrackbarVertical);
        window.CreateTextField(117 + strip, s.x, kChannelRow + 232, 26, 20, QStringLiteral("0"), kDigitsOnly);
        window.CreateTextField(1 + strip, s.labelX, kChannelRow + 15, 20, 15, QString::fromLatin1(s.label), kNoBorder);
        window.CreateCheckBox(188 + strip, s.extraX, 295, 25, 20, QStringLiteral("M"));
    }
    for (int strip = 0; strip < 16; ++strip) {
        const Strip& s = kGroupStrips[strip];
        const int valueY = strip == 0 ? kGroupRow + 222 : kGroupRow + 223; // DCA 1's field sits a pixel higher
        window.CreateTrackbar(101 + strip, s.x, kGroupRow + 20, 20, 200, 0, 100, kTrackbarTicks | kTrackbarVertical);
        window.CreateTextField(134 + strip, s.x, valueY, 26, 20, QStringLiteral("0"), kDigitsOnly);
        window.CreateTextField(35 + strip, s.labelX, kGroupRow + 3, 20, 15, QString::fromLatin1(s.label), kNoBorder);
    }

    for (int label = 1; label <= 17; ++label) {
        SetLabelGrey(window, label);
    }
    for (int label = 35; label <= 50; ++label) {
        SetLabelGrey(window, label);
    }
    DrainPendingEvents(window);
    for (int label = 157; label <= 187; label += 2) {
        SetLabelGrey(window, label);
    }
    DrainPendingEvents(window);

    for (int i = 0; i < 13; ++i) {
        window.CreateCheckBox(kFirstCheckBox + i, 547, kRightColumn + 14 + 20 * i, i < kBankBoxes ? 85 : 75, 25,
                              QString::fromLatin1(kCheckBoxCaptions[i]));
    }
    DrainPendingEvents(window);
    for (int i = 0; i < 5; ++i) {
        window.CreatePushButton(kButtons[i].number, 541, 340 + 30 * i, 80, 20,
                                QString::fromLatin1(kButtons[i].caption));
    }
    DrainPendingEvents(window);
}

void BindTrackbars(Mixer& mixer)
{
    for (const HandlerBinding& binding : HandlerBindings()) {
        if (binding.family == HandlerFamily::Fader) {
            mixer.window.BindControlHandler(binding.control,
                                            [&mixer, trackbar = binding.control] { FaderHandler(mixer, trackbar); });
        }
    }
}

void ShowConsoleUnits(HostWindow& window)
{
    for (int trackbar = 84; trackbar <= 116; ++trackbar) {
        auto level = [&window, trackbar] {
            const float sent = static_cast<float>(window.GetControlState(trackbar)) / 100.0f;
            return QStringLiteral("Console level: ") + QString::fromStdString(FormatFaderLevel(sent));
        };
        window.BindToolTip(trackbar, trackbar, level);
        window.BindToolTip(trackbar, trackbar + 33, level);
    }
    for (int field = 156; field <= 186; field += 2) {
        window.BindToolTip(field, field, [&window, field] {
            const float sent = ParseFloat(window.GetControlText(field)) / 100.0f;
            return QStringLiteral("Console gain: ") + QString::fromStdString(FormatPreampGain(sent));
        });
    }
}
