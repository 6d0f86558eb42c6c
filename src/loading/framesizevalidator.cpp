#include "framesizevalidator.h"

FrameSizeValidator::FrameSizeValidator(int bottom, int top, QObject *parent)
    : QIntValidator(bottom, top, parent)
{ }

QValidator::State FrameSizeValidator::validate(QString &input, int &pos) const
{
    const State state = QIntValidator::validate(input, pos);
    if (state != Intermediate)
        return state;
    bool isNumber = false;
    const qlonglong value = locale().toLongLong(input, &isNumber);
    if (isNumber && value > top())
        return Invalid;
    return state;
}
