#include "ImageBlur.h"

#include <algorithm>
#include <vector>

namespace {
// One pass of a box blur of `radius` over `count` lines of premultiplied ARGB pixels, `length`
// pixels each: pixel i of line j is at bits[j * lineStep + i * pixelStep], so the same code blurs
// rows and columns. Running sums keep it linear in the image size whatever the radius.
void blurLines(QRgb* bits, int count, int length, qsizetype lineStep, qsizetype pixelStep, int radius)
{
    std::vector<QRgb> line(static_cast<size_t>(length));
    // Dividing by the window is a multiplication by its 16.16 reciprocal, as it sits in the inner
    // loop; rounded to nearest, the mean never passes 255, so packed channels never spill over.
    const int window = 2 * radius + 1;
    const int scale = (1 << 16) / window;
    auto mean = [scale](int sum) { return (sum * scale + (1 << 15)) >> 16; };
    for (int j = 0; j < count; ++j) {
        QRgb* first = bits + j * lineStep;
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = first[i * pixelStep];
        int a = 0, r = 0, g = 0, b = 0;
        auto add = [&](QRgb p, int sign) {
            a += sign * qAlpha(p);
            r += sign * qRed(p);
            g += sign * qGreen(p);
            b += sign * qBlue(p);
        };
        for (int i = -radius; i <= radius; ++i)
            add(line[static_cast<size_t>(std::clamp(i, 0, length - 1))], 1);
        for (int i = 0; i < length; ++i) {
            first[i * pixelStep] = qRgba(mean(r), mean(g), mean(b), mean(a));
            add(line[static_cast<size_t>(std::min(i + radius + 1, length - 1))], 1);
            add(line[static_cast<size_t>(std::max(i - radius, 0))], -1);
        }
    }
}
} // namespace

void ImageBlur::boxBlur(QImage& image, int radius)
{
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    blurLines(bits, image.height(), image.width(), stride, 1, radius); // rows
    blurLines(bits, image.width(), image.height(), 1, stride, radius); // columns
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

QImage ImageBlur::backdrop(const QImage& shrunk)
{
    if (shrunk.isNull())
        return shrunk;
    QImage image = shrunk.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int pass = 0; pass < 3; ++pass)
        boxBlur(image, 3);
    return image;
}
