#pragma once

#include <QIntValidator>

// An integer validator that refuses, while typing, any number above the top. Qt 6's
// QIntValidator lets such numbers through as intermediate as long as they have no more digits
// than the top (20000 against 16384), which would let the dimensions dialog return sizes beyond
// its range.
class FrameSizeValidator : public QIntValidator
{
    Q_OBJECT
public:
    FrameSizeValidator(int bottom, int top, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
