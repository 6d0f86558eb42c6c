#pragma once

#include <QString>

#include "colouroptions.h"

class QCommandLineParser;

// The colour choices of the command line, each at most once: --display y|u|v|colour, --matrix,
// --range auto|limited|full (--range MIN:MAX beside it is the display range of --export-png),
// --chroma and --transfer.
class ColourArguments
{
public:
    // Adds the options but --range, which the command line has already.
    static void addOptions(QCommandLineParser &parser);
    // False with the error (one sentence) when a value is unknown or given twice.
    bool parse(const QCommandLineParser &parser, QString &error);
    // The --range values that are display ranges (MIN:MAX), not the samples' range.
    static QStringList displayRanges(const QCommandLineParser &parser);

    // -1 not given, 0..2 a plane in gray, 3 colour.
    int getDisplay() const { return m_display; }
    QString getDisplayText() const { return m_displayText; }
    // base with the choices given put in.
    ColourOptions apply(ColourOptions base) const;

private:
    int m_display = -1;
    QString m_displayText;
    // The choices as given; empty: not given.
    QString m_matrix;
    QString m_range;
    QString m_chroma;
    QString m_transfer;
};
