#pragma once

#include <QRect>
#include <QString>

#include "differencedisplay.h"
#include "layout.h"

class QCommandLineParser;

// The layout and difference choices of the command line, each at most once: --layout
// single|side-by-side|grid|wipe|flicker, --views main,ref1,diff1 (the panes' views in order),
// --diff-mode signed|absolute|heat|mask|blocks, --threshold T, --block N and --region X,Y,W,H
// (the region of the picture whose statistics are shown, or that --metrics measures).
class ViewArguments
{
public:
    static void addOptions(QCommandLineParser &parser);
    // False with the error (one sentence) when a value is wrong or given twice.
    bool parse(const QCommandLineParser &parser, QString &error);

    // base with the choices given put in.
    Layout applyLayout(Layout base) const;
    DifferenceDisplay applyDifference(DifferenceDisplay base) const;
    // x right and y down from the top row, in samples of the picture; empty when not given.
    QRect getRegion() const { return m_region; }

private:
    bool m_hasKind = false;
    Layout::Kind m_kind = Layout::Kind::Single;
    QVector<int> m_views;
    bool m_hasMode = false;
    DifferenceDisplay::Mode m_mode = DifferenceDisplay::Mode::Signed;
    float m_threshold = -1.0f; // < 0: not given
    int m_blockSize = 0; // 0: not given
    QRect m_region;
};
