#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Shows a long text in a scrollable, read-only box until "&Ok" is pressed.
class frmShowLongString : public QDialog {
    Q_OBJECT
public:
    explicit frmShowLongString(QWidget* parent = nullptr);

    void Go(const QString& Title, const QString& Caption, const QString& LongString);

private:
    QLabel* m_caption;
    QPlainTextEdit* m_text;
    QPushButton* m_ok;
};
