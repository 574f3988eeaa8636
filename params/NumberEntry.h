#pragma once

#include <QString>

class Operator;

// Asking for and checking numbers typed by the operator.

// Asks until a number within minimum..maximum or an empty answer / Cancel is given; true when
// value received a new number.
bool AskNumber(Operator& op, const QString& prompt, const QString& title, float& value, float minimum,
               float maximum, int helpContext = 0);

// Returns true when the text is invalid (after telling the operator why); otherwise value receives
// the number.
bool CheckNumber(Operator& op, const QString& text, const QString& description, const QString& unit,
                 double minimum, double maximum, double& value);

// Returns true when the text is a number whose rounded integer lies within minimum..maximum; then
// both text and value receive that integer.
bool CheckRange(Operator& op, QString& text, qint32 minimum, qint32 maximum, qint32& value);
