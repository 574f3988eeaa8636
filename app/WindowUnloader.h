#pragma once

class QWidget;

namespace WindowUnloader {
// Closes every top-level window of the program, the given main window last, so that each window's
// own unload handling runs before the main window's shutdown ends the process.
void unloadAll(QWidget* mainWindow);
} // namespace WindowUnloader
