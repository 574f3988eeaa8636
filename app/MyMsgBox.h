#pragma once

#include "app/MyMsgBoxLayout.h"
#include "base/Operator.h"

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;

// The program's own question box: up to four buttons with the caller's captions, in a row (Go)
// or in a column with a description beside each (GoVertical). Returns the button number pressed,
// or 0 when the operator closes the window with its close control.
class MyMsgBox : public QDialog {
    Q_OBJECT
public:
    // The operator carries the plain message for bad icon bits and the beep.
    explicit MyMsgBox(Operator& op, QWidget* parent = nullptr);

    int Go(const QString& Prompt, const QString& Btn1, const QString& Btn2 = {}, const QString& Btn3 = {},
           const QString& Btn4 = {}, bool ExpandButtons = false, int Icons = 0, const QString& Title = {},
           int FocusButton = 1, double Width = 1.0);
    int GoVertical(const QString& Prompt, const QString& Btn1, const QString& Txt1, const QString& Btn2 = {},
                   const QString& Txt2 = {}, const QString& Btn3 = {}, const QString& Txt3 = {},
                   const QString& Btn4 = {}, const QString& Txt4 = {}, int Icons = 0,
                   const QString& Title = {}, int FocusButton = 1, double Width = 1.0);
    int run(const MyMsgBoxRequest& request);

    // The layout of the last request, in twips.
    const MyMsgBoxLayout& lastLayout() const { return m_layout; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void prepare(const MyMsgBoxRequest& request);
    void buttonClicked(int index);

    Operator& m_operator;
    QLabel* m_text;
    QLabel* m_picture;
    std::array<QPushButton*, 4> m_buttons{};
    std::array<QLabel*, 4> m_infos{};
    MyMsgBoxLayout m_layout;
    int m_result = 0;
};
