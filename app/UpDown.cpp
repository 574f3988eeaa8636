#include "app/UpDown.h"

#include <QToolButton>
#include <QVBoxLayout>

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (auto [button, arrow, delta] :
         {std::tuple{m_up, Qt::UpArrow, 1}, std::tuple{m_down, Qt::DownArrow, -1}}) {
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(18, 11);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, d = delta] { emit stepped(d); });
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}
