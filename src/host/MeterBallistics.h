// How a level meter's bar moves and what it marks, as a rule over times given to it: the widget
// passes the steady clock's, tests a clock of their own. No Qt.
#pragma once

#include <chrono>

namespace meter {

using Clock = std::chrono::steady_clock;

// The scale, bottom to top, and where its zones start: green below -18, yellow to -6, red above.
inline constexpr float kFloorDb = -60.0f;
inline constexpr float kTopDb = 0.0f;
inline constexpr float kYellowDb = -18.0f;
inline constexpr float kRedDb = -6.0f;

// A bar rises at once and falls this fast, as a peak meter does.
inline constexpr float kFallDbPerSecond = 18.0f;
inline constexpr auto kPeakHold = std::chrono::milliseconds(1500);
// A level at or over the top shows the clip mark this long after its last frame.
inline constexpr auto kClipHold = std::chrono::milliseconds(2000);
// No frame for this long: the console's last level no longer counts, and the bar falls.
inline constexpr auto kStale = std::chrono::milliseconds(500);

// One bar: its level, the peak it holds and its clip mark, all in dBFS within the scale.
class Bar {
public:
    // A frame's level; NaN and anything below the floor count as the floor, anything over the top as the top.
    void Feed(float db, Clock::time_point now);
    // The console is gone: the bar falls from here on, as if frames of silence came.
    void Drop(Clock::time_point now);
    // Moves the bar on to `now`: the fall, the end of the peak's hold and of the clip mark.
    void Advance(Clock::time_point now);

    float Level() const { return level_; }
    // Equal to Level() when no peak is held above the bar.
    float Peak() const { return peak_; }
    bool Clip() const { return clip_; }
    // At the floor with nothing held: nothing about it will change until a frame comes.
    bool Resting() const { return level_ <= kFloorDb && peak_ <= kFloorDb && !clip_; }

private:
    float level_ = kFloorDb;
    float input_ = kFloorDb; // the last frame's level, until it is stale
    float peak_ = kFloorDb;
    bool clip_ = false;
    Clock::time_point inputAt_{}, peakAt_{}, clipAt_{}, advancedAt_{};
};

} // namespace meter
