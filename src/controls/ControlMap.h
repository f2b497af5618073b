// Every control of the window in creation order, assembled from the rows of ControlRows.h, with
// what each is tied to. Layout, handlers, dispatch and the scene commands read it.
#pragma once

#include "controls/ControlRows.h"

#include <cstddef>

struct Control {
    int number = 0;
    ControlKind kind = ControlKind::Caption;
    ControlRole role = ControlRole::StripCaption;
    ControlRect rect{};
    const char* text = "";             // what a caption, box or button says, or the initial text of a field
    int slot = -1;                     // the console parameter its handler sends to; -1 for none
    StripKind strip = StripKind::None; // the strip or preamp input a control belongs to
    int stripNumber = 0;               // channel 1 to 16, DCA or bus 1 to 8, input 1 to 16; 0 for the main mix
    int valueField = 0;                // fader: the field showing its value
    int fader = 0;                     // value field: its fader; link: the odd channel's fader, which the pair follows
    int caption = 0;                   // fader, value field, mute: the strip's caption; preamp gain: its caption
    int follower = 0;                  // link: the even channel's fader, held to the odd one while linked
    int bankRule = -1;                 // fader bank: index into kBankRules
};

using control_rows::BankRule;
using control_rows::kBankRules;

// The hidden address field, one field and one caption per preamp input, four controls per channel
// strip (fader, value field, caption, "M"), three per DCA and bus strip, and the column.
inline constexpr std::size_t kControlCount = 1 + 2 * control_rows::kPreampInputs.size() +
                                             4 * control_rows::kChannelAndMainStrips.size() +
                                             3 * control_rows::kGroupStrips.size() + control_rows::kColumn.size();
static_assert(kControlCount == 167, "the window has 167 controls, the hidden address field included");

namespace control_rows {

using ControlArray = std::array<Control, kControlCount>;

constexpr void AddPreamps(ControlArray& map, std::size_t& next)
{
    for (const PreampInput& in : kPreampInputs) {
        map[next++] = {.number = in.field,
                       .kind = ControlKind::NumberField,
                       .role = ControlRole::PreampGain,
                       .rect = {in.x, kPreampFieldY, 26, 20},
                       .text = "0",
                       .slot = in.slot,
                       .strip = StripKind::Preamp,
                       .stripNumber = in.stripNumber,
                       .caption = in.caption};
        map[next++] = {.number = in.caption,
                       .kind = ControlKind::Caption,
                       .role = ControlRole::PreampCaption,
                       .rect = {in.captionX, kPreampCaptionY, 20, 15},
                       .text = in.text,
                       .strip = StripKind::Preamp,
                       .stripNumber = in.stripNumber};
    }
}

// What a strip's fader, value field and caption share.
struct StripParts {
    StripKind kind;
    int stripNumber, caption, fader, valueField;
    const char* text;
    int slot;
    ControlRect captionRect, faderRect, valueFieldRect;
};

// A strip's fader, the value field under it and its caption, in that order.
constexpr void AddStrip(ControlArray& map, std::size_t& next, const StripParts& s)
{
    map[next++] = {.number = s.fader,
                   .kind = ControlKind::Fader,
                   .role = ControlRole::Fader,
                   .rect = s.faderRect,
                   .slot = s.slot,
                   .strip = s.kind,
                   .stripNumber = s.stripNumber,
                   .valueField = s.valueField,
                   .caption = s.caption};
    map[next++] = {.number = s.valueField,
                   .kind = ControlKind::NumberField,
                   .role = ControlRole::ValueField,
                   .rect = s.valueFieldRect,
                   .text = "0",
                   .strip = s.kind,
                   .stripNumber = s.stripNumber,
                   .fader = s.fader,
                   .caption = s.caption};
    map[next++] = {.number = s.caption,
                   .kind = ControlKind::Caption,
                   .role = ControlRole::StripCaption,
                   .rect = s.captionRect,
                   .text = s.text,
                   .strip = s.kind,
                   .stripNumber = s.stripNumber};
}

// A channel's or group's strip parts, its caption, fader and value field on the rows' lines.
template <typename Row> constexpr StripParts PartsOf(const Row& s, int captionY, int faderY, int valueFieldY)
{
    return {s.kind,
            s.stripNumber,
            s.caption,
            s.fader,
            s.valueField,
            s.text,
            s.faderSlot,
            {s.captionX, captionY, 20, 15},
            {s.x, faderY, 20, 200},
            {s.x, valueFieldY, 26, 20}};
}

constexpr void AddStrips(ControlArray& map, std::size_t& next)
{
    for (const ChannelStrip& s : kChannelAndMainStrips) {
        AddStrip(map, next, PartsOf(s, kChannelCaptionY, kChannelFaderY, kChannelValueFieldY));
        map[next++] = {.number = s.mute,
                       .kind = ControlKind::CheckBox,
                       .role = ControlRole::Mute,
                       .rect = {s.muteX, kMuteY, 25, 20},
                       .text = "M",
                       .slot = s.muteSlot,
                       .strip = s.kind,
                       .stripNumber = s.stripNumber,
                       .caption = s.caption};
    }
    for (const GroupStrip& s : kGroupStrips) {
        AddStrip(map, next, PartsOf(s, kGroupCaptionY, kGroupFaderY, s.valueFieldY));
    }
}

// Creation order, which is also the Tab order: the hidden address field (made by the
// configuration step), the preamp row, the channel strips, the DCA and bus strips, the column.
constexpr ControlArray MakeControlMap()
{
    ControlArray map{};
    std::size_t next = 0;
    map[next++] = {.number = kAddressFieldNumber,
                   .kind = ControlKind::AddressField,
                   .role = ControlRole::MixerAddress,
                   .rect = kAddressFieldRect};
    AddPreamps(map, next);
    AddStrips(map, next);
    for (const ColumnControl& c : kColumn) {
        map[next++] = {.number = c.number,
                       .kind = c.kind,
                       .role = c.role,
                       .rect = c.rect,
                       .text = c.text,
                       .slot = c.slot,
                       .fader = c.oddFader,
                       .follower = c.evenFader,
                       .bankRule = c.bankRule};
    }
    return map;
}

// Every number used once and never 0, and every slot one the address table fills.
constexpr bool WellFormed(const ControlArray& map)
{
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (map[i].number <= 0 || map[i].slot < -1 || map[i].slot >= kSlotsInUse) {
            return false;
        }
        for (std::size_t j = i + 1; j < map.size(); ++j) {
            if (map[i].number == map[j].number) {
                return false;
            }
        }
    }
    return true;
}

} // namespace control_rows

inline constexpr std::array<Control, kControlCount> kControls = control_rows::MakeControlMap();
static_assert(control_rows::WellFormed(kControls), "a control number is missing or used twice, or a slot is unknown");

// The control with this number; null for a number no control has.
constexpr const Control* FindControl(int number)
{
    for (const Control& control : kControls) {
        if (control.number == number) {
            return &control;
        }
    }
    return nullptr;
}

// The control with this number, which must exist.
constexpr const Control& ControlAt(int number)
{
    return *FindControl(number);
}

constexpr bool HasRole(int number, ControlRole role)
{
    const Control* control = FindControl(number);
    return control != nullptr && control->role == role;
}

// The controls of one role in creation order, which is also the order of their numbers. A range
// of its own rather than std::views::filter, which clang 14 (the fuzz build) cannot compile.
class RoleControls {
public:
    class Iterator {
    public:
        constexpr Iterator(const Control* at, ControlRole role) : at_(at), role_(role) { Skip(); }
        constexpr const Control& operator*() const { return *at_; }
        constexpr Iterator& operator++()
        {
            ++at_;
            Skip();
            return *this;
        }
        constexpr bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        constexpr void Skip()
        {
            while (at_ != kControls.data() + kControls.size() && at_->role != role_) {
                ++at_;
            }
        }
        const Control* at_;
        ControlRole role_;
    };

    constexpr explicit RoleControls(ControlRole role) : role_(role) {}
    constexpr Iterator begin() const { return {kControls.data(), role_}; }
    constexpr Iterator end() const { return {kControls.data() + kControls.size(), role_}; }

private:
    ControlRole role_;
};

constexpr RoleControls ControlsWith(ControlRole role)
{
    return RoleControls(role);
}

constexpr std::size_t CountWith(ControlRole role)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const Control& control : ControlsWith(role)) {
        ++count;
    }
    return count;
}

constexpr const Control& FirstWith(ControlRole role)
{
    return *ControlsWith(role).begin();
}

// The control of a role on one strip: FindOnStrip(Fader, Channel, 5), FindOnStrip(Mute, Main, 0);
// null when there is none.
constexpr const Control* FindOnStrip(ControlRole role, StripKind strip, int stripNumber)
{
    for (const Control& control : ControlsWith(role)) {
        if (control.strip == strip && control.stripNumber == stripNumber) {
            return &control;
        }
    }
    return nullptr;
}

// The control that starts a command, by its role.
constexpr int CommandControl(ControlRole role)
{
    return FirstWith(role).number;
}
