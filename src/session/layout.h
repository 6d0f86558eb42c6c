#pragma once

#include <QString>
#include <QVector>

// How the comparison is laid out: one pane (Single), panes next to each other locked together
// (SideBySide: 2, Grid: up to 6 in 2 or 3 columns), or one pane showing two views (Wipe: view
// A before the split line, view B beyond it; Flicker: A, with B in its place while a key is held
// or at a rate). views holds the ViewType of each pane, or A and B for Wipe and Flicker.
struct Layout
{
    enum class Kind { Single, SideBySide, Grid, Wipe, Flicker };
    Kind kind = Kind::Single;
    QVector<int> views {0, 1, 3, 2, 4};
    int columns = 2; // Grid: 2 or 3
    double wipePosition = 0.5; // the split line, a fraction of the picture's width or height
    bool wipeVertical = true; // the line runs top to bottom: A left of it, B right of it
    double flickerRate = 0.0; // changes a second; 0: B only while the key is held

    // The panes shown: 1, 2, or for a grid as many views as given (2 .. 6).
    int paneCount() const;
    // "single", "side-by-side", "grid", "wipe", "flicker"; parse leaves kind alone and returns
    // false for any other name.
    static QString name(Kind kind);
    static bool parse(const QString &text, Kind &kind);

    bool operator==(const Layout &other) const
    {
        return kind == other.kind && views == other.views && columns == other.columns
                && wipePosition == other.wipePosition && wipeVertical == other.wipeVertical
                && flickerRate == other.flickerRate;
    }
    bool operator!=(const Layout &other) const { return !(*this == other); }
};
