#include "ImageItem.h"

#include "ImageBlur.h"

#include <QPainter>
#include <QPainterPath>

ImageItem::ImageItem(QQuickItem* parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void ImageItem::setImage(const QImage& image)
{
    m_image = image;
    m_prepared = QImage();
    emit imageChanged();
    update();
}

void ImageItem::setBlurRadius(int radius)
{
    if (m_blurRadius == radius)
        return;
    m_blurRadius = radius;
    m_prepared = QImage();
    emit imageChanged();
    update();
}

void ImageItem::setRadius(qreal radius)
{
    if (qFuzzyCompare(m_radius, radius))
        return;
    m_radius = radius;
    emit imageChanged();
    update();
}

void ImageItem::paint(QPainter* painter)
{
    if (m_image.isNull())
        return;
    if (m_prepared.isNull())
        m_prepared = m_blurRadius > 0 ? ImageBlur::blurred(m_image, m_blurRadius) : m_image;
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF target = boundingRect();
    if (m_radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(target, m_radius, m_radius);
        painter->setClipPath(clip);
    }
    painter->drawImage(target, m_prepared);
}
