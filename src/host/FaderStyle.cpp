// How a fader is drawn: Fusion's look, made cheaper where the same pixels can come cheaper.
// - Fusion draws each groove from a cached picture. With the smooth-pixmap hint on, Qt blends
//   that picture in strips handed to its thread pool, whose threads cost start-up more than the
//   blending itself. Unscaled, both ways give the same pixels; a scaled window (high DPI) keeps
//   the hint.
// - When Fusion makes a new groove picture, it draws the ticks after it in the highlight's
//   outline colour: blue ticks on the first fader painted, until it is painted again. The groove
//   drawn on its own first leaves the ticks their grey.
// - A fader has 101 ticks. Drawn line by line on every fader they were a sixth of the first
//   paint; drawn once per look into a picture and copied from there, a quarter of that.
#include "host/WindowParts.h"

#include <QPainter>
#include <QPixmapCache>
#include <QStyleOptionSlider>

#include <iterator>

namespace {

bool Unscaled(const QPainter* painter)
{
    return painter->deviceTransform().type() <= QTransform::TxTranslate;
}

} // namespace

void FaderStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_Slider || slider == nullptr) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const bool smooth = painter->testRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth && !Unscaled(painter));
    QStyleOptionSlider part = *slider;
    for (const SubControls step : {SubControls(SC_SliderGroove), SubControls(SC_SliderTickmarks)}) {
        part.subControls = slider->subControls & step;
        if (part.subControls == SC_SliderTickmarks) {
            DrawTicks(part, painter, widget);
        } else if (part.subControls != SC_None) {
            QProxyStyle::drawComplexControl(control, &part, painter, widget);
        }
    }
    part.subControls = slider->subControls & ~(SC_SliderGroove | SC_SliderTickmarks);
    if (part.subControls != SC_None) {
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
    }
    painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void FaderStyle::DrawTicks(const QStyleOptionSlider& ticks, QPainter* painter, const QWidget* widget) const
{
    // Lines of an opaque pen copied onto what is there give the very pixels drawn there; a
    // translucent pen or a scaled painter would not, and draws the ticks itself.
    const QPen pen = painter->pen();
    if (!Unscaled(painter) || painter->opacity() < 1.0 || pen.color().alpha() != 255) {
        QProxyStyle::drawComplexControl(CC_Slider, &ticks, painter, widget);
        return;
    }
    // Everything the ticks' pixels depend on.
    const qint64 look[] = {ticks.rect.width(),
                           ticks.rect.height(),
                           ticks.orientation,
                           ticks.minimum,
                           ticks.maximum,
                           ticks.tickInterval,
                           ticks.singleStep,
                           ticks.pageStep,
                           ticks.tickPosition,
                           ticks.upsideDown,
                           ticks.state,
                           ticks.palette.currentColorGroup(),
                           ticks.palette.cacheKey(),
                           pen.color().rgba(),
                           qRound(pen.widthF() * 64),
                           pen.style()};
    // The numbers themselves make the key: spelt out in digits, they cost as much as the copy.
    QString key = QStringLiteral("quillon-ticks ");
    key.append(reinterpret_cast<const QChar*>(look), std::ssize(look) * qsizetype(sizeof(qint64) / sizeof(QChar)));
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap(ticks.rect.size());
        picture.fill(Qt::transparent);
        QPainter onPicture(&picture);
        onPicture.setPen(pen);
        onPicture.setBrush(painter->brush());
        onPicture.setRenderHints(painter->renderHints());
        QStyleOptionSlider atOrigin = ticks;
        atOrigin.rect.moveTo(0, 0);
        QProxyStyle::drawComplexControl(CC_Slider, &atOrigin, &onPicture, widget);
        onPicture.end();
        QPixmapCache::insert(key, picture);
    }
    painter->drawPixmap(ticks.rect.topLeft(), picture);
}
