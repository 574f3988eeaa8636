#pragma once

#include <QLabel>

// A one-line label that gives way to its neighbours: narrower than its text, it ends the text in
// "..." instead of cutting it off mid-word. text() keeps the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
