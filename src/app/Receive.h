// The one receive path: every datagram on the link wakes one handler on the event loop, which
// checks once that the console sent it, decodes it once and hands each message on: to the read,
// to the follow mode and to the meters.
#pragma once

struct Program;

// From now on, what the console sends on the link is read as it comes (again after Reset opened a
// new link).
void ListenToConsole(Program& program);

// Nothing is read from the link any more; what comes stays unread.
void StopListening(Program& program);
