#pragma once

#include <QImage>

// A cheap, good-looking blur for backdrops and icons: three box-blur passes approximate a
// Gaussian, and large radii work on a shrunken copy, which the scaled-up drawing smooths again.
class ImageBlur
{
public:
    static QImage blurred(const QImage& image, int radius);
    // The shield's backdrop: the screen shrunk by `factor` and blurred; drawn scaled back up.
    static QImage backdrop(const QImage& screen, int factor = 8);

private:
    static void boxBlur(QImage& image, int radius);
};
