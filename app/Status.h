#pragma once

#include "app/WindowDisabler.h"

#include <QWidget>

class QEventLoop;
class QLabel;
class QPushButton;

// Modeless text window for long-running steps; the caller replaces or extends its text while it
// works and may wait for the operator to press its button.
class Status : public QWidget {
    Q_OBJECT
public:
    static constexpr int WindowWidth = 6600; // twips
    static constexpr int LabelTop = 300;
    static constexpr int LabelSide = 300;
    static constexpr int Gap = 300;
    static constexpr int BottomExtra = 400;
    static constexpr int ButtonWidth = 1260;

    explicit Status(QWidget* parent = nullptr);

    // Alignment 0 left, 1 right, 2 centre; an empty button caption hides the button.
    void ShowStatus(const QString& StatusStr, const QString& Title, int Alignment,
                    const QString& ButtonCaption);
    void AppendStatus(const QString& AddStr);
    void UpdateStatus(const QString& NewStr);
    void StatusDone();
    // With the button shown: enables it and waits until it is pressed; then hides the window.
    void WaitForClick();

    QString text() const { return m_text; }
    bool clicked() const { return m_clicked; }
    int windowHeightTwips() const { return m_heightTwips; }
    int labelBottomTwips() const { return m_labelBottomTwips; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setText(const QString& text);
    void relayout();
    void finishWait();

    QLabel* m_label;
    QPushButton* m_button;
    WindowDisabler m_disabler;
    QString m_text;
    bool m_clicked = false;
    QEventLoop* m_wait = nullptr;
    int m_heightTwips = 0;
    int m_labelBottomTwips = 0;
};
