#pragma once

#include <QImage>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// Draws a QImage scaled to the item, optionally blurred and with rounded corners. Blurring and
// clipping happen on the CPU, so they look the same with or without OpenGL.
class ImageItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)
    Q_PROPERTY(int blurRadius READ blurRadius WRITE setBlurRadius NOTIFY imageChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY imageChanged)

public:
    explicit ImageItem(QQuickItem* parent = nullptr);

    const QImage& image() const { return m_image; }
    void setImage(const QImage& image);
    int blurRadius() const { return m_blurRadius; }
    void setBlurRadius(int radius);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);

    void paint(QPainter* painter) override;

signals:
    void imageChanged();

private:
    QImage m_image;
    QImage m_prepared;
    int m_blurRadius = 0;
    qreal m_radius = 0;
};
