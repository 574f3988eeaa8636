#pragma once

#include <QString>

class QPushButton;
class QWidget;

// A named push button of a window that Enter presses only when it has the focus.
QPushButton* WindowButton(const QString& caption, const char* name, QWidget* parent);
