#include "ImageBlur.h"

#include <algorithm>
#include <vector>

namespace {
// One horizontal pass of a box blur of `radius` over premultiplied ARGB rows; running sums keep
// it linear in the image size whatever the radius.
void blurRows(QRgb* bits, int width, int height, qsizetype stride, int radius)
{
    std::vector<QRgb> line(static_cast<size_t>(width));
    const int window = 2 * radius + 1;
    for (int y = 0; y < height; ++y) {
        QRgb* row = bits + y * stride;
        std::copy(row, row + width, line.begin());
        int a = 0, r = 0, g = 0, b = 0;
        auto add = [&](QRgb p, int sign) {
            a += sign * qAlpha(p);
            r += sign * qRed(p);
            g += sign * qGreen(p);
            b += sign * qBlue(p);
        };
        for (int i = -radius; i <= radius; ++i)
            add(line[static_cast<size_t>(std::clamp(i, 0, width - 1))], 1);
        for (int x = 0; x < width; ++x) {
            row[x] = qRgba(r / window, g / window, b / window, a / window);
            add(line[static_cast<size_t>(std::min(x + radius + 1, width - 1))], 1);
            add(line[static_cast<size_t>(std::max(x - radius, 0))], -1);
        }
    }
}
} // namespace

void ImageBlur::boxBlur(QImage& image, int radius)
{
    const qsizetype stride = image.bytesPerLine() / 4;
    blurRows(reinterpret_cast<QRgb*>(image.bits()), image.width(), image.height(), stride, radius);
    image = image.transformed(QTransform(0, 1, 1, 0, 0, 0)); // transpose: columns become rows
    blurRows(reinterpret_cast<QRgb*>(image.bits()), image.width(), image.height(), image.bytesPerLine() / 4,
             radius);
    image = image.transformed(QTransform(0, 1, 1, 0, 0, 0));
}

QImage ImageBlur::blurred(const QImage& source, int radius)
{
    if (source.isNull() || radius <= 0)
        return source;
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int pass = 0; pass < 3; ++pass)
        boxBlur(image, std::max(1, radius / 3));
    return image;
}

QImage ImageBlur::backdrop(const QImage& screen, int factor)
{
    if (screen.isNull())
        return screen;
    const QSize small(std::max(1, screen.width() / factor), std::max(1, screen.height() / factor));
    // Nearest-pixel shrinking is ten times cheaper than smooth scaling, and the blur that follows
    // hides its aliasing; this sits on the path from activation to shield.
    QImage image = screen.scaled(small, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int pass = 0; pass < 3; ++pass)
        boxBlur(image, 3);
    return image;
}
