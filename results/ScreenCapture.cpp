#include "results/ScreenCapture.h"

#include "results/SafeReplace.h"

#include <QBuffer>
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

std::optional<FileFault> PictureBoxToFile(const QImage& picture, const QString& fileName, int quality) {
    const QByteArray suffix = ImageSuffix(fileName).toLower().toLatin1();
    if (suffix.isEmpty() || !QImageWriter::supportedImageFormats().contains(suffix))
        return FileFault{75, QStringLiteral("No picture format for the file name")};
    if (picture.isNull())
        return FileFault{75, QStringLiteral("No picture to write")};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, suffix);
    if (suffix.startsWith('j'))
        writer.setQuality(qBound(0, quality, 100));
    if (!writer.write(picture))
        return FileFault{57, writer.errorString()};
    return SafeReplace::WriteWhole(fileName, bytes);
}
