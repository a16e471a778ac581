#pragma once

#include <QImage>

// A cheap, good-looking blur for backdrops and icons: three box-blur passes approximate a
// Gaussian, and large radii work on a shrunken copy, which the scaled-up drawing smooths again.
class ImageBlur
{
public:
    static QImage blurred(const QImage& image, int radius);
    // How much smaller than the screen the shield's backdrop is taken; it is drawn scaled back up.
    static constexpr int BackdropShrink = 8;
    // The shield's backdrop from a picture of the screen already shrunk by BackdropShrink.
    static QImage backdrop(const QImage& shrunk);

private:
    static void boxBlur(QImage& image, int radius);
};
