// The console's mix read back: faders, preamp gains, on switches and links, one query at a time.
#include "app/ReadConsole.h"

#include "app/Configuration.h"
#include "app/Program.h"
#include "host/Blocks.h"
#include "host/Network.h"
#include "host/Text.h"
#include "osc/ConsoleUnits.h"
#include "osc/ControlMap.h"
#include "osc/OscDecoder.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <variant>

namespace {

// A console on the same network answers within a few milliseconds.
constexpr int kAnswerMilliseconds = 100;
// When the first questions all go unanswered there is no console listening: stop asking.
constexpr int kFirstQuestions = 3;

bool Asked(const Control& control)
{
    return control.role == ControlRole::Fader || control.role == ControlRole::PreampGain ||
           control.role == ControlRole::Mute || control.role == ControlRole::Link;
}

// Sends the query and waits for its answer from the console itself, passing over anything else.
std::optional<float> Ask(Mixer& mixer, const std::string& address)
{
    std::uint8_t* block = AllocateZeroed(kOscMessageSize);
    const std::ptrdiff_t length = BuildOscQuery(block, address);
    const bool sent = length > 0 && SendDatagram(mixer.link, block, length) == length;
    FreeBlock(block);
    if (!sent) {
        return std::nullopt;
    }
    std::uint8_t answer[512];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMilliseconds);
    for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        std::uint32_t fromAddress = 0;
        std::uint16_t fromPort = 0;
        const long size =
            ReceiveDatagram(mixer.link, answer, sizeof answer, static_cast<int>(left) + 1, fromAddress, fromPort);
        if (size >= 0 && fromAddress == mixer.link->address && fromPort == kMixerPort) {
            if (const std::optional<float> value = AnswerValue({answer, static_cast<std::size_t>(size)}, address)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

// The window as it would look had the user set the value.
void Show(HostWindow& window, const Control& control, float value)
{
    const std::int64_t hundredths = ToHundredths(value);
    switch (control.role) {
    case ControlRole::Fader:
        window.SetControlState(control.number, std::clamp<std::int64_t>(hundredths, 0, 100));
        window.SetControlText(control.valueField, IntegerToText(window.GetControlState(control.number)));
        break;
    case ControlRole::PreampGain:
        window.SetControlText(control.number, IntegerToText(std::max<std::int64_t>(hundredths, 0)));
        break;
    case ControlRole::Mute: // the console keeps "on"; a checked "M" is off
        window.SetControlState(control.number, std::lround(value) == 0 ? 1 : 0);
        break;
    default: { // a link, with its pair following the odd channel
        const bool linked = std::lround(value) != 0;
        window.SetControlState(control.number, linked ? 1 : 0);
        EnableFollower(window, control.number, !linked);
    }
    }
}

} // namespace

std::optional<float> AnswerValue(std::span<const std::uint8_t> datagram, std::string_view address)
{
    const DecodeResult decoded = DecodeDatagram(datagram);
    if (decoded.messages.size() != 1 || decoded.messages[0].address != address ||
        decoded.messages[0].arguments.size() != 1) {
        return std::nullopt;
    }
    const OscArgument& argument = decoded.messages[0].arguments[0];
    if (const auto* number = std::get_if<std::int32_t>(&argument)) {
        return static_cast<float>(*number);
    }
    if (const auto* number = std::get_if<float>(&argument); number && std::isfinite(*number)) {
        return *number;
    }
    return std::nullopt;
}

void ReadConsoleMix(Program& program)
{
    Mixer& mixer = program.mixer;
    int asked = 0;
    int unanswered = 0;
    for (const Control& control : kControls) {
        if (!Asked(control)) {
            continue;
        }
        ++asked;
        if (const std::optional<float> value = Ask(mixer, mixer.addresses[static_cast<std::size_t>(control.slot)])) {
            Show(mixer.window, control, *value);
        } else if (++unanswered == asked && asked == kFirstQuestions) {
            mixer.window.ShowMessage(QStringLiteral("Quillon"),
                                     QStringLiteral("The console at %1 did not answer. The window shows zeros.")
                                         .arg(program.shell.mixerAddress));
            return;
        }
    }
    if (unanswered > 0) {
        mixer.window.ShowMessage(QStringLiteral("Quillon"),
                                 QStringLiteral("The console at %1 did not answer %2 of %3 questions. Those controls "
                                                "show zeros.")
                                     .arg(program.shell.mixerAddress)
                                     .arg(unanswered)
                                     .arg(asked));
    }
}
