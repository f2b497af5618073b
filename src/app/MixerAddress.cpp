// config.ini's four octet lines to one packed address; no window here, so it links without Qt Widgets.
#include "app/Configuration.h"

#include "host/Network.h"
#include "host/Text.h"
#include "host/TextFile.h"

std::int64_t ReadMixerAddress(TextFile& file)
{
    std::int64_t octets[4];
    for (std::int64_t& octet : octets) {
        octet = ParseInteger(ReadLine(file));
    }
    return PackIPv4(octets[0], octets[1], octets[2], octets[3]);
}
