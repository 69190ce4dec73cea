#include "GraphView.h"

#include <QMouseEvent>
#include <QPainter>

GraphView::GraphView(const panel::ImageSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface)
{
    setObjectName("Picture1");
    setFixedSize(640, 480);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, 640, 480), surface_.image());
}

void GraphView::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && doubleClicked)
        doubleClicked();
}

void GraphView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton && rightClicked)
        rightClicked(e->globalPosition().toPoint());
}
