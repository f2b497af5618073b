// Quillon: a desktop remote control for an X32 Compact mixing console.
#include "app/FindConsole.h"
#include "app/Program.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: quillon [--find [--write]] [--read-console | --follow] [--help] [--version]\n"
    "Desktop remote control for a Behringer X32 Compact mixing console. Reads the console's IPv4\n"
    "address from config.ini in the current folder, one octet per line, and sends OSC 1.0 over UDP\n"
    "to the console's port 10023. Qt's own options (such as -platform) go to Qt; any other argument\n"
    "is ignored.\n"
    "  --read-console  start from the console's mix: ask the console for every fader, preamp gain,\n"
    "                  on switch and link, and show the answers; nothing but the questions is sent\n"
    "  --follow        start from the console's mix and its strips' names, then follow the console:\n"
    "                  subscribe to its changes (/xremote) and show each as it comes; a heartbeat\n"
    "                  question (/xinfo) every few seconds notices a console that stops answering\n"
    "  --find          ask every network who is there (/xinfo by broadcast to port 10023, 3 times in\n"
    "                  3 s) and print one line per console that answers: its address, name, model\n"
    "                  and firmware, separated by tabs; then end, or with --read-console or --follow\n"
    "                  open the window\n"
    "  --write         with --find: when exactly one console answered, write its address into\n"
    "                  config.ini; otherwise write nothing and exit 1\n";

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the window system starts, so they work without a display.
    Shell options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        options.readConsole = options.readConsole || argument == "--read-console";
        options.follow = options.follow || argument == "--follow";
        options.find = options.find || argument == "--find";
        options.write = options.write || argument == "--write";
        if (argument == "--help") {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            return 0;
        }
        if (argument == "--version") {
            std::fputs("quillon " QUILLON_VERSION "\n", stdout);
            return 0;
        }
    }
    if (options.find && !options.readConsole && !options.follow) {
        return PrintFindResult(FindConsoles(options.write), options.write);
    }
    WindowSystem windowSystem(argc, argv);
    return RunQuillon(options);
}
