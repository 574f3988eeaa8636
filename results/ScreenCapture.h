#pragma once

#include "results/FileFault.h"

#include <QImage>
#include <QString>
#include <optional>

class QWidget;

// Pictures of windows and saving them as image files.

// The rectangle (left, top, width, height in pixels) of a window: of its client area, or of the whole
// window with its frame when clientArea is false.
QImage CaptureWindow(QWidget& window, bool clientArea, int left, int top, int width, int height);

// The suffix of a file name: the text after the last full stop that follows the last folder
// separator; empty when there is none.
QString ImageSuffix(const QString& fileName);

// Writes the picture in the format its suffix names (JPEG, PNG, BMP, ... without regard to case);
// a suffix starting with J carries the quality (0 to 100). The file is replaced whole or not at all
// (a full disc leaves the old file, never an empty one); the fault when no format fits or writing failed.
std::optional<FileFault> PictureBoxToFile(const QImage& picture, const QString& fileName, int quality);
