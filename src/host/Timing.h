// The pause after each message: at least the given time, on the monotonic clock.
#pragma once

// Blocks the calling thread for at least `milliseconds`; signals do not shorten it.
void Pause(int milliseconds);
