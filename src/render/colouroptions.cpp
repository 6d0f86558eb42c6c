#include "colouroptions.h"

ColourOptions ColourOptions::resolve(int width, int height, bool rangeTagged, bool fullRange) const
{
    ColourOptions settled = *this;
    if (settled.range == Range::Automatic)
        settled.range = rangeTagged && fullRange ? Range::Full : Range::Limited;
    if (settled.matrix == Matrix::Automatic) {
        if (transfer != Transfer::Sdr)
            settled.matrix = Matrix::Bt2020;
        else if (width > 1024 || height > 576)
            settled.matrix = Matrix::Bt709;
        else
            settled.matrix = Matrix::Bt601;
    }
    return settled;
}
