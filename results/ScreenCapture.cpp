#include "results/ScreenCapture.h"

#include <QImageWriter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

QImage CaptureWindow(QWidget& window, bool clientArea, int left, int top, int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    if (clientArea)
        return window.grab(QRect(left, top, width, height)).toImage();
    // The frame belongs to the window system: only the screen has it.
    const QRect frame = window.frameGeometry();
    if (QScreen* screen = window.screen())
        return screen->grabWindow(0, frame.x() + left, frame.y() + top, width, height).toImage();
    return {};
}

QString ImageSuffix(const QString& fileName) {
    const qsizetype slash =
        qMax(fileName.lastIndexOf(QLatin1Char('\\')), fileName.lastIndexOf(QLatin1Char('/')));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? fileName.mid(dot + 1) : QString();
}

bool PictureBoxToFile(const QImage& picture, const QString& fileName, int quality) {
    const QByteArray suffix = ImageSuffix(fileName).toLower().toLatin1();
    if (suffix.isEmpty() || picture.isNull() || !QImageWriter::supportedImageFormats().contains(suffix))
        return false;
    QImageWriter writer(fileName, suffix);
    if (suffix.startsWith('j'))
        writer.setQuality(qBound(0, quality, 100));
    return writer.write(picture);
}
