// The level meters: thin bars drawn with QPainter, moved by one shared timer that runs only while
// a meter moves, and told to screen readers as read-only progress bars valued in whole dBFS.
#include "host/MeterBallistics.h"
#include "host/WindowParts.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using namespace std::chrono_literals;
using meter::Clock;

// Repaints at most about 30 times a second.
constexpr auto kShowInterval = 33ms;
// After a frame the next step waits out two of the console's 50 ms frames: while frames stream,
// each draws on its arrival and the timer never fires.
constexpr auto kFrameWait = 100ms;
// A screen reader hears a meter's new value at most twice a second.
constexpr auto kAnnounceInterval = 500ms;
// The clip mark's rows at the top, then one blank row above the scale.
constexpr int kClipRows = 4;
constexpr int kMaxBars = 2;

const QColor kTrough{72, 72, 72};
const QColor kGreen{0, 200, 0};
const QColor kYellow{240, 200, 0};
const QColor kRed{230, 0, 0};

// What a paint shows, in pixel rows counted from the bottom: a change of any repaints the meter.
struct Drawn {
    std::array<int, kMaxBars> level{}, peak{};
    bool clip = false;
    bool operator==(const Drawn&) const = default;
};

} // namespace

class MeterWidget : public QWidget {
    Q_OBJECT

public:
    MeterWidget(int barCount, QWidget* parent) : QWidget(parent), bars(static_cast<std::size_t>(barCount))
    {
        setAttribute(Qt::WA_OpaquePaintEvent); // every paint fills the whole meter
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

    // The level of the louder bar in whole dBFS, -60 at the floor.
    int Value() const
    {
        float louder = meter::kFloorDb;
        for (const meter::Bar& bar : bars) {
            louder = std::max(louder, bar.Level());
        }
        return static_cast<int>(std::lround(louder));
    }

    Drawn Measure() const
    {
        Drawn now;
        for (std::size_t i = 0; i < bars.size(); ++i) {
            now.level[i] = Row(bars[i].Level());
            now.peak[i] = Row(bars[i].Peak());
            now.clip = now.clip || bars[i].Clip();
        }
        return now;
    }

    std::vector<meter::Bar> bars;
    Drawn drawn;
    int announced = static_cast<int>(meter::kFloorDb);
    Clock::time_point announcedAt{};

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        painter.fillRect(0, 0, width(), kClipRows, drawn.clip ? kRed : kTrough);
        const int count = static_cast<int>(bars.size());
        const int barWidth = (width() - (count - 1)) / count;
        const int yellow = Row(meter::kYellowDb), red = Row(meter::kRedDb), top = ScaleRows();
        for (int i = 0; i < count; ++i) {
            const int x = i * (barWidth + 1);
            // Rows [from, to) from the bottom, of one colour.
            const auto fill = [&](int from, int to, const QColor& color) {
                if (to > from) {
                    painter.fillRect(x, height() - to, barWidth, to - from, color);
                }
            };
            const int level = drawn.level[static_cast<std::size_t>(i)];
            fill(level, top, kTrough);
            fill(0, std::min(level, yellow), kGreen);
            fill(yellow, std::min(level, red), kYellow);
            fill(red, level, kRed);
            const int peak = drawn.peak[static_cast<std::size_t>(i)];
            if (peak > level) {
                fill(peak - 1, peak, peak > red ? kRed : peak > yellow ? kYellow : kGreen);
            }
        }
    }

private:
    int ScaleRows() const { return height() - kClipRows - 1; }
    int Row(float db) const
    {
        const float share = (db - meter::kFloorDb) / (meter::kTopDb - meter::kFloorDb);
        return static_cast<int>(std::lround(share * static_cast<float>(ScaleRows())));
    }
};

namespace {

// A meter as a screen reader has it: a read-only progress bar from -60 to 0.
class MeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit MeterAccessible(MeterWidget* meter) : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Value ? QString::number(Meter()->Value()) : QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }
    QVariant currentValue() const override { return Meter()->Value(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return static_cast<int>(meter::kTopDb); }
    QVariant minimumValue() const override { return static_cast<int>(meter::kFloorDb); }
    QVariant minimumStepSize() const override { return 1; }

private:
    MeterWidget* Meter() const { return static_cast<MeterWidget*>(widget()); }
};

QAccessibleInterface* MeterAccessibleFactory(const QString& className, QObject* object)
{
    return className == QLatin1String("MeterWidget") ? new MeterAccessible(static_cast<MeterWidget*>(object)) : nullptr;
}

} // namespace

class MeterPanel : public QObject {
public:
    explicit MeterPanel(QWidget* window) : QObject(window)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Show(Clock::now(), kShowInterval); });
    }

    void Create(QWidget* window, const std::vector<MeterPlace>& places)
    {
        qDeleteAll(meters_);
        meters_.clear();
        for (const MeterPlace& place : places) {
            auto* meter = new MeterWidget(std::clamp(place.bars, 1, kMaxBars), window);
            meter->setGeometry(place.x, place.y, place.width, place.height);
            meter->setAccessibleName(place.name);
            meter->show();
            meters_.push_back(meter);
        }
    }

    void Feed(std::span<const float> levels)
    {
        const Clock::time_point now = Clock::now();
        std::size_t next = 0;
        for (MeterWidget* meter : meters_) {
            for (meter::Bar& bar : meter->bars) {
                if (next < levels.size()) {
                    bar.Feed(levels[next++], now);
                }
            }
        }
        // A flood of frames draws at the pace of the timer.
        const auto wait = fedAt_ + kShowInterval - now;
        if (wait <= Clock::duration::zero()) {
            fedAt_ = now;
            Show(now, kFrameWait);
        } else if (!timer_.isActive() || timer_.remainingTimeAsDuration() > wait) {
            timer_.start(std::chrono::ceil<std::chrono::milliseconds>(wait));
        }
    }

    void Drop()
    {
        const Clock::time_point now = Clock::now();
        for (MeterWidget* meter : meters_) {
            for (meter::Bar& bar : meter->bars) {
                bar.Drop(now);
            }
        }
        Show(now, kShowInterval);
    }

    MeterWidget* Meter(int index) const
    {
        return index >= 0 && index < static_cast<int>(meters_.size()) ? meters_[static_cast<std::size_t>(index)]
                                                                      : nullptr;
    }

private:
    // Moves every meter on to `now` and repaints those whose rows changed; the timer comes back
    // after `next` until every meter rests at the floor and a screen reader has heard so.
    void Show(Clock::time_point now, std::chrono::milliseconds next)
    {
        bool resting = true;
        for (MeterWidget* meter : meters_) {
            for (meter::Bar& bar : meter->bars) {
                bar.Advance(now);
                resting = resting && bar.Resting();
            }
            const Drawn drawn = meter->Measure();
            if (drawn.clip != meter->drawn.clip) {
                meter->setAccessibleDescription(drawn.clip ? QStringLiteral("clip") : QString());
            }
            if (drawn != meter->drawn) {
                meter->drawn = drawn;
                meter->update();
            }
            const int value = meter->Value();
            if (value != meter->announced) {
                if (now - meter->announcedAt >= kAnnounceInterval) {
                    meter->announced = value;
                    meter->announcedAt = now;
                    QAccessibleValueChangeEvent changed(meter, value);
                    QAccessible::updateAccessibility(&changed);
                } else {
                    resting = false;
                }
            }
        }
        if (resting) {
            timer_.stop();
        } else {
            timer_.start(next);
        }
    }

    std::vector<MeterWidget*> meters_; // children of the window
    QTimer timer_;
    Clock::time_point fedAt_{}; // when a frame last drew
};

void HostWindow::CreateMeters(const std::vector<MeterPlace>& places)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(MeterAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    if (!impl_->meters) {
        impl_->meters = new MeterPanel(impl_->window.get());
    }
    impl_->meters->Create(impl_->window.get(), places);
}

void HostWindow::FeedMeters(std::span<const float> levels)
{
    if (impl_->meters) {
        impl_->meters->Feed(levels);
    }
}

void HostWindow::SetMeterName(int meter, const QString& name)
{
    if (QWidget* widget = Meter(meter)) {
        widget->setAccessibleName(name);
    }
}

void HostWindow::DropMeters()
{
    if (impl_->meters) {
        impl_->meters->Drop();
    }
}

QWidget* HostWindow::Meter(int meter) const
{
    return impl_->meters ? impl_->meters->Meter(meter) : nullptr;
}

#include "MeterWidgets.moc"
