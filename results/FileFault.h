#pragma once

#include <QFileDevice>
#include <QString>

// A failed file operation as the program reports it: an error number and its description.
struct FileFault {
    int number = 0;
    QString description;

    // Numbers the program's messages have always used for these failures.
    static int numberOf(QFileDevice::FileError error) {
        switch (error) {
        case QFileDevice::PermissionsError:
            return 70; // permission denied
        case QFileDevice::ResourceError:
            return 61; // disc full
        case QFileDevice::RemoveError:
        case QFileDevice::RenameError:
        case QFileDevice::CopyError:
            return 75; // path/file access error
        case QFileDevice::OpenError:
            return 53; // file not found / cannot open
        default:
            return 57; // device I/O error
        }
    }
    static FileFault of(const QFileDevice& file) { return {numberOf(file.error()), file.errorString()}; }
};
