// The console's meters beside the faders while following: where each is drawn, the request that
// keeps them coming, and each frame taken to the window. The follow mode calls these.
#pragma once

#include "app/Layout.h"
#include "host/Window.h"

#include <vector>

struct Control;
struct DecodedMessage;
struct Program;

// The 25 meters in the control map's order: channels 1 to 16, the main mix with its left and right
// bars, buses 1 to 8. Each sits right of its fader, inside the strip's column; DCAs have none.
// Named like the strip, with the console's name for it where `names` has one.
std::vector<MeterPlace> MeterPlaces(const StripNames& names);

// Draws the meters at the floor; at the start of following.
void CreateMeters(Program& program);

// Asks the console for its surface meters for the next 10 s: after the read, with every renewal
// of the subscription, and not while the console is lost.
void RequestMeters(Program& program);

// A message from the console: true when it was a meter frame, which is then shown, or a broken
// one or another bank's, which is ignored whole; false for anything else.
bool TakeMeterMessage(Program& program, const DecodedMessage& message);

// The console is lost: every meter falls to the floor.
void DropMeters(Program& program);

// The strip of `fader` has a new name on the console: its meter, if it has one, says it.
void NameMeter(HostWindow& window, const StripNames& names, const Control& fader);
