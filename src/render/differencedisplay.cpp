#include "differencedisplay.h"

namespace {

const char *const ModeNames[] = {"signed", "absolute", "heat", "mask", "blocks"};

} // namespace

QString DifferenceDisplay::name(Mode mode) { return QLatin1String(ModeNames[int(mode)]); }

bool DifferenceDisplay::parse(const QString &text, Mode &mode)
{
    for (int i = 0; i < 5; ++i) {
        if (text == QLatin1String(ModeNames[i])) {
            mode = Mode(i);
            return true;
        }
    }
    return false;
}
