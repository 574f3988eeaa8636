#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// F1 in any window of the program: opens the manual at that window's section. The main window's
// own Help entry covers it; modal windows block that entry, so their F1 comes through here.
class HelpKey : public QObject {
    Q_OBJECT
public:
    using Open = std::function<void(const QString& topic)>;
    explicit HelpKey(Open open, QObject* parent = nullptr);

    // The manual's section for a window (by its object name); empty for the start.
    static QString TopicFor(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Open m_open;
};
