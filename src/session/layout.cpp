#include "layout.h"

#include <algorithm>

namespace {

const char *const KindNames[] = {"single", "side-by-side", "grid", "wipe", "flicker"};

} // namespace

int Layout::paneCount() const
{
    switch (kind) {
    case Kind::SideBySide:
        return 2;
    case Kind::Grid:
        return std::clamp(int(views.size()), 2, 6);
    default:
        return 1;
    }
}

QString Layout::name(Kind kind) { return QLatin1String(KindNames[int(kind)]); }

bool Layout::parse(const QString &text, Kind &kind)
{
    for (int i = 0; i < 5; ++i) {
        if (text == QLatin1String(KindNames[i])) {
            kind = Kind(i);
            return true;
        }
    }
    return false;
}
