#pragma once

#include <QString>

// How Y'CbCr samples are turned into the screen's RGB: the matrix, the range, how chroma is
// brought to the luma's size and the transfer. Automatic choices are settled per movie (resolve).
struct ColourOptions
{
    enum class Matrix { Automatic, Bt601, Bt709, Bt2020 };
    enum class Range { Automatic, Limited, Full };
    // Nearest: each chroma sample covers the luma samples it belongs to. Bilinear: MPEG-2
    // siting (chroma co-sited with the left luma column, vertically between the rows for 4:2:0),
    // edges clamped.
    enum class Chroma { Nearest, Bilinear };
    // Sdr: the R'G'B' shown as they are. Pq, Hlg: an HDR preview tone-mapped to a 100 cd/m²
    // BT.709 display.
    enum class Transfer { Sdr, Pq, Hlg };

    Matrix matrix = Matrix::Automatic;
    Range range = Range::Automatic;
    Chroma chroma = Chroma::Nearest;
    Transfer transfer = Transfer::Sdr;

    // The matrix and range used for a movie of that size whose file says fullRange (a y4m's
    // XCOLORRANGE; rangeTagged false when it says nothing): automatic range is the tag, else
    // limited; automatic matrix is BT.2020 for an HDR transfer, else BT.709 for frames wider than
    // 1024 or taller than 576, else BT.601.
    ColourOptions resolve(int width, int height, bool rangeTagged, bool fullRange) const;

    // The names the command line and the settings use: "auto", "601", "709", "2020"; "auto",
    // "limited", "full"; "nearest", "bilinear"; "sdr", "pq", "hlg". parse* leave the value
    // alone and return false for any other name.
    static QString name(Matrix matrix);
    static QString name(Range range);
    static QString name(Chroma chroma);
    static QString name(Transfer transfer);
    static bool parse(const QString &text, Matrix &matrix);
    static bool parse(const QString &text, Range &range);
    static bool parse(const QString &text, Chroma &chroma);
    static bool parse(const QString &text, Transfer &transfer);

    bool operator==(const ColourOptions &other) const
    {
        return matrix == other.matrix && range == other.range && chroma == other.chroma
                && transfer == other.transfer;
    }
    bool operator!=(const ColourOptions &other) const { return !(*this == other); }
};
