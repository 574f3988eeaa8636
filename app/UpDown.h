#pragma once

#include <QWidget>

class QToolButton;

// A pair of arrow buttons beside a text box; each press steps the box's number by one.
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void stepped(int delta);

private:
    QToolButton* m_up;
    QToolButton* m_down;
};
