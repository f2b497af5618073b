// Reads config.ini's four octet lines into the surface address and opens the link to it.
#include "app/Configuration.h"

#include "app/Program.h"
#include "controls/ControlMap.h"
#include "controls/ControlNames.h"
#include "host/Network.h"
#include "host/TextFile.h"

bool LoadConfiguration(Program& program)
{
    HostWindow& window = program.window;
    TextFile file;
    if (!OpenFileForReading(file, QStringLiteral("config.ini"))) {
        window.ShowMessage(QStringLiteral("No config.ini"), QStringLiteral("Please create the config.ini."));
        return false;
    }
    const std::int64_t address = ReadMixerAddress(file);
    CloseFile(file);

    // The hidden address field turns the packed value into the dotted text.
    const Control& hidden = FirstWith(ControlRole::MixerAddress);
    const auto [x, y, width, height] = hidden.rect;
    const int field = hidden.number;
    window.CreateAddressField(field, x, y, width, height);
    window.SetControlName(field, QString::fromStdString(SpokenName(hidden)));
    window.SetControlState(field, address);
    program.shell.consoleAddress = window.GetControlText(field);
    window.SetStatusText(QStringLiteral("IP: ") + program.shell.consoleAddress +
                         QStringLiteral(" -  Code: Pellucor - Beta Test: Varnhold - Optimized for a minimalist Mini PC "
                                        "and old PCs"));

    StartNetwork();
    program.surface.link.reset(); // nothing is sent on the old link any more
    program.surface.link = OpenConnection(program.shell.consoleAddress, kConsolePort);
    DrainPendingEvents(window);
    return true;
}
