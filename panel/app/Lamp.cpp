#include "Lamp.h"

#include <QMouseEvent>
#include <QPainter>

LampWidget::LampWidget(QWidget* parent) : QWidget(parent)
{
    setFixedSize(18, 18);
}

void LampWidget::setLamp(const panel::Lamp& lamp, bool flashing)
{
    const bool same = lamp.fill == lamp_.fill && lamp.lit() == lamp_.lit() && flashing == flashing_;
    lamp_ = lamp;
    flashing_ = flashing;
    if (!same)
        update();
}

void LampWidget::setBlinkPhase(bool on)
{
    if (phase_ == on)
        return;
    phase_ = on;
    if (flashing_)
        update();
}

QString LampWidget::fillColor() const
{
    return QColor(QRgb(lamp_.fill)).name();
}

void LampWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    if (lamp_.lit() && (!flashing_ || phase_)) {
        QRadialGradient g(r.center() - QPointF(2, 2), r.width() / 1.4);
        const QColor c(QRgb(lamp_.fill));
        g.setColorAt(0, c.lighter(150));
        g.setColorAt(1, c);
        p.setBrush(g);
    } else {
        p.setBrush(QColor(40, 40, 40));
    }
    p.drawEllipse(r);
}

void LampWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
}
