// A level meter's rise, fall, peak hold and clip latch.
#include "host/MeterBallistics.h"

#include <algorithm>
#include <cmath>

namespace meter {

void Bar::Feed(float db, Clock::time_point now)
{
    Advance(now);
    input_ = std::isnan(db) ? kFloorDb : std::clamp(db, kFloorDb, kTopDb);
    inputAt_ = now;
    level_ = std::max(level_, input_);
    if (input_ >= peak_) {
        peak_ = input_;
        peakAt_ = now;
    }
    if (input_ >= kTopDb) {
        clip_ = true;
        clipAt_ = now;
    }
}

void Bar::Drop(Clock::time_point now)
{
    Advance(now);
    input_ = kFloorDb;
}

void Bar::Advance(Clock::time_point now)
{
    const float seconds = std::chrono::duration<float>(now - advancedAt_).count();
    advancedAt_ = now;
    const float target = now - inputAt_ >= kStale ? kFloorDb : input_;
    if (level_ > target) {
        level_ = std::max(target, level_ - kFallDbPerSecond * seconds);
    }
    if (now - peakAt_ >= kPeakHold || peak_ < level_) {
        peak_ = level_;
    }
    clip_ = clip_ && now - clipAt_ < kClipHold;
}

} // namespace meter
