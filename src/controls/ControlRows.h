// The window's controls as rows: one per strip, preamp input and right-hand column control. The
// one place where control numbers, places and captions are written; ControlMap.h assembles them.
#pragma once

#include "controls/AddressTable.h"

#include <array>

enum class ControlKind : unsigned char {
    Caption,     // borderless text field on a grey ground; typing into it changes nothing
    NumberField, // bordered text field that takes only the digits 0 to 9 when typed
    Fader,       // vertical, 0 at the bottom to 100 at the top, a tick at every step
    CheckBox,
    PushButton,
    AddressField, // hidden; turns a packed IPv4 address into its dotted text
};

// What a control is for: the handler it runs, the command it starts, or what it names.
enum class ControlRole : unsigned char {
    StripCaption,
    PreampCaption,
    Fader,      // sets a strip's level on the console
    ValueField, // the value field under a fader
    PreampGain,
    Mute,      // "M": checked switches the channel off
    Link,      // pairs two channels; the even one follows the odd one
    FaderBank, // selects a fader bank of the console's surface
    LoadScene,
    SaveScene,
    EditConfig,
    Reset,
    Updates,
    MixerAddress,
};

// What a strip or preamp control belongs to on the console; None for the column and the address field.
enum class StripKind : unsigned char { None, Channel, MainMix, Dca, Bus, Preamp };

struct ControlRect {
    int x, y, width, height;
};

namespace control_rows {

// kind and number (channel 1 to 16; 0 for the main mix); caption, fader, value field, "M" box,
// text; fader slot, on-switch slot; caption x, strip x, "M" x
struct ChannelStrip {
    StripKind kind;
    int stripNumber;
    int caption, fader, valueField, mute;
    const char* text;
    int faderSlot, muteSlot;
    int captionX, x, muteX;
};

// Captions and "M" boxes sit a few pixels off the 30-pixel grid, differently per strip.
inline constexpr std::array<ChannelStrip, 17> kChannelAndMainStrips{{
    {StripKind::Channel, 1, 1, 84, 117, 188, "01", 0, 60, 18, 15, 16},
    {StripKind::Channel, 2, 2, 85, 118, 189, "02", 1, 61, 48, 45, 46},
    {StripKind::Channel, 3, 3, 86, 119, 190, "03", 2, 62, 78, 75, 76},
    {StripKind::Channel, 4, 4, 87, 120, 191, "04", 3, 63, 108, 105, 106},
    {StripKind::Channel, 5, 5, 88, 121, 192, "05", 4, 64, 138, 135, 136},
    {StripKind::Channel, 6, 6, 89, 122, 193, "06", 5, 65, 168, 165, 166},
    {StripKind::Channel, 7, 7, 90, 123, 194, "07", 6, 66, 198, 195, 196},
    {StripKind::Channel, 8, 8, 91, 124, 195, "08", 7, 67, 228, 225, 226},
    {StripKind::Channel, 9, 9, 92, 125, 196, "09", 8, 68, 258, 255, 256},
    {StripKind::Channel, 10, 10, 93, 126, 197, "10", 9, 69, 285, 285, 286},
    {StripKind::Channel, 11, 11, 94, 127, 198, "11", 10, 70, 315, 315, 316},
    {StripKind::Channel, 12, 12, 95, 128, 199, "12", 11, 71, 345, 345, 346},
    {StripKind::Channel, 13, 13, 96, 129, 200, "13", 12, 72, 375, 375, 375},
    {StripKind::Channel, 14, 14, 97, 130, 201, "14", 13, 73, 405, 405, 405},
    {StripKind::Channel, 15, 15, 98, 131, 202, "15", 14, 74, 435, 435, 435},
    {StripKind::Channel, 16, 16, 99, 132, 203, "16", 15, 75, 468, 465, 466},
    {StripKind::MainMix, 0, 17, 100, 133, 204, "LR", 16, 76, 502, 500, 502},
}};
inline constexpr int kChannelCaptionY = 50, kChannelFaderY = 65, kChannelValueFieldY = 267, kMuteY = 295;

// kind and number (DCA 1 to 8, bus 1 to 8); caption, fader, value field, text; fader slot;
// caption x, strip x, value field y (DCA 1's sits a pixel higher)
struct GroupStrip {
    StripKind kind;
    int stripNumber;
    int caption, fader, valueField;
    const char* text;
    int faderSlot;
    int captionX, x, valueFieldY;
};

inline constexpr std::array<GroupStrip, 16> kGroupStrips{{
    {StripKind::Dca, 1, 35, 101, 134, "D1", 17, 18, 15, 546},
    {StripKind::Dca, 2, 36, 102, 135, "D2", 18, 48, 45, 547},
    {StripKind::Dca, 3, 37, 103, 136, "D3", 19, 78, 75, 547},
    {StripKind::Dca, 4, 38, 104, 137, "D4", 20, 108, 105, 547},
    {StripKind::Dca, 5, 39, 105, 138, "D5", 21, 138, 135, 547},
    {StripKind::Dca, 6, 40, 106, 139, "D6", 22, 168, 165, 547},
    {StripKind::Dca, 7, 41, 107, 140, "D7", 23, 198, 195, 547},
    {StripKind::Dca, 8, 42, 108, 141, "D8", 24, 228, 225, 547},
    {StripKind::Bus, 1, 43, 109, 142, "B1", 25, 285, 285, 547},
    {StripKind::Bus, 2, 44, 110, 143, "B2", 26, 315, 315, 547},
    {StripKind::Bus, 3, 45, 111, 144, "B3", 27, 345, 345, 547},
    {StripKind::Bus, 4, 46, 112, 145, "B4", 28, 375, 375, 547},
    {StripKind::Bus, 5, 47, 113, 146, "B5", 29, 405, 405, 547},
    {StripKind::Bus, 6, 48, 114, 147, "B6", 30, 435, 435, 547},
    {StripKind::Bus, 7, 49, 115, 148, "B7", 31, 468, 465, 547},
    {StripKind::Bus, 8, 50, 116, 149, "B8", 32, 495, 495, 547},
}};
inline constexpr int kGroupCaptionY = 327, kGroupFaderY = 344;

// input number, gain field, its caption, caption text, slot, field x, caption x (3 pixels right,
// except inputs 10 to 15)
struct PreampInput {
    int stripNumber;
    int field, caption;
    const char* text;
    int slot, x, captionX;
};

inline constexpr std::array<PreampInput, 16> kPreampInputs{{
    {1, 156, 157, "P01", 44, 15, 18},
    {2, 158, 159, "P02", 45, 45, 48},
    {3, 160, 161, "P03", 46, 75, 78},
    {4, 162, 163, "P04", 47, 105, 108},
    {5, 164, 165, "P05", 48, 135, 138},
    {6, 166, 167, "P06", 49, 165, 168},
    {7, 168, 169, "P07", 50, 195, 198},
    {8, 170, 171, "P08", 51, 225, 228},
    {9, 172, 173, "P09", 52, 255, 258},
    {10, 174, 175, "P10", 53, 285, 285},
    {11, 176, 177, "P11", 54, 315, 315},
    {12, 178, 179, "P12", 55, 345, 345},
    {13, 180, 181, "P13", 56, 375, 375},
    {14, 182, 183, "P14", 57, 405, 405},
    {15, 184, 185, "P15", 58, 435, 435},
    {16, 186, 187, "P16", 59, 465, 468},
}};
inline constexpr int kPreampFieldY = 25, kPreampCaptionY = 7;

// The right-hand column, top to bottom: one row per control.
struct ColumnControl {
    int number;
    ControlKind kind;
    ControlRole role;
    ControlRect rect;
    const char* text;
    int slot;
    int bankRule;
    int oddFader, evenFader; // links only
};

inline constexpr std::array<ColumnControl, 18> kColumn{{
    {67, ControlKind::CheckBox, ControlRole::FaderBank, {547, 34, 85, 25}, "CH 1-8", kChannelBankSlot, 0, 0, 0},
    {68, ControlKind::CheckBox, ControlRole::FaderBank, {547, 54, 85, 25}, "CH 9-16", kChannelBankSlot, 1, 0, 0},
    {69, ControlKind::CheckBox, ControlRole::FaderBank, {547, 74, 85, 25}, "CHX 1-16", kChannelBankSlot, 2, 0, 0},
    {70, ControlKind::CheckBox, ControlRole::FaderBank, {547, 94, 85, 25}, "DCA 1-8", kGroupBankSlot, 3, 0, 0},
    {71, ControlKind::CheckBox, ControlRole::FaderBank, {547, 114, 85, 25}, "BUS 1-8", kGroupBankSlot, 4, 0, 0},
    {72, ControlKind::CheckBox, ControlRole::Link, {547, 134, 75, 25}, "Link 01-02", 35, -1, 84, 85},
    {73, ControlKind::CheckBox, ControlRole::Link, {547, 154, 75, 25}, "Link 03-04", 36, -1, 86, 87},
    {74, ControlKind::CheckBox, ControlRole::Link, {547, 174, 75, 25}, "Link 05-06", 37, -1, 88, 89},
    {75, ControlKind::CheckBox, ControlRole::Link, {547, 194, 75, 25}, "Link 07-08", 38, -1, 90, 91},
    {76, ControlKind::CheckBox, ControlRole::Link, {547, 214, 75, 25}, "Link 09-10", 39, -1, 92, 93},
    {77, ControlKind::CheckBox, ControlRole::Link, {547, 234, 75, 25}, "Link 11-12", 40, -1, 94, 95},
    {78, ControlKind::CheckBox, ControlRole::Link, {547, 254, 75, 25}, "Link 13-14", 41, -1, 96, 97},
    {79, ControlKind::CheckBox, ControlRole::Link, {547, 274, 75, 25}, "Link 15-16", 42, -1, 98, 99},
    {80, ControlKind::PushButton, ControlRole::LoadScene, {541, 340, 80, 20}, "Load Scene", -1, -1, 0, 0},
    {81, ControlKind::PushButton, ControlRole::SaveScene, {541, 370, 80, 20}, "Save Scene", -1, -1, 0, 0},
    {150, ControlKind::PushButton, ControlRole::EditConfig, {541, 400, 80, 20}, "Edit Config.ini", -1, -1, 0, 0},
    {82, ControlKind::PushButton, ControlRole::Reset, {541, 430, 80, 20}, "Reset", -1, -1, 0, 0},
    {83, ControlKind::PushButton, ControlRole::Updates, {541, 460, 80, 20}, "Updates", -1, -1, 0, 0},
}};

// Under the buttons: where the follow mode says whether the console answers.
inline constexpr ControlRect kFollowIndicatorRect{541, 490, 95, 80};

inline constexpr int kAddressFieldNumber = 888;
inline constexpr ControlRect kAddressFieldRect{5000, 5000, 94, 22};

// Fader-bank boxes act as radio buttons of the console's surface: each clears the others it
// names, then sends one or two values. "CHX 1-16" selects both banks at once. Indexed by the
// column's bankRule.
struct BankRule {
    std::array<int, 4> cleared; // 0 ends the list
    std::array<int, 2> slots;   // -1 ends the list
    std::array<float, 2> checkedValues;
};

inline constexpr std::array<BankRule, 5> kBankRules{{
    {{68, 69, 0, 0}, {kChannelBankSlot, -1}, {0.1f, 0.0f}},                // "CH 1-8"
    {{67, 69, 0, 0}, {kChannelBankSlot, -1}, {0.2f, 0.0f}},                // "CH 9-16"
    {{68, 67, 70, 71}, {kChannelBankSlot, kGroupBankSlot}, {0.01f, 0.6f}}, // "CHX 1-16"
    {{71, 69, 0, 0}, {kGroupBankSlot, -1}, {0.1f, 0.0f}},                  // "DCA 1-8"
    {{69, 70, 0, 0}, {kGroupBankSlot, -1}, {0.2f, 0.0f}},                  // "BUS 1-8"
}};

} // namespace control_rows
