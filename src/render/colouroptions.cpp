#include "colouroptions.h"

namespace {

const char *const MatrixNames[] = {"auto", "601", "709", "2020"};
const char *const RangeNames[] = {"auto", "limited", "full"};
const char *const ChromaNames[] = {"nearest", "bilinear"};
const char *const TransferNames[] = {"sdr", "pq", "hlg"};

template<typename Enum, size_t N>
bool parseName(const QString &text, const char *const (&names)[N], Enum &value)
{
    for (size_t i = 0; i < N; ++i) {
        if (text == QLatin1String(names[i])) {
            value = Enum(i);
            return true;
        }
    }
    return false;
}

} // namespace

QString ColourOptions::name(Matrix matrix) { return QLatin1String(MatrixNames[int(matrix)]); }
QString ColourOptions::name(Range range) { return QLatin1String(RangeNames[int(range)]); }
QString ColourOptions::name(Chroma chroma) { return QLatin1String(ChromaNames[int(chroma)]); }
QString ColourOptions::name(Transfer transfer)
{
    return QLatin1String(TransferNames[int(transfer)]);
}
bool ColourOptions::parse(const QString &text, Matrix &matrix)
{
    return parseName(text, MatrixNames, matrix);
}
bool ColourOptions::parse(const QString &text, Range &range)
{
    return parseName(text, RangeNames, range);
}
bool ColourOptions::parse(const QString &text, Chroma &chroma)
{
    return parseName(text, ChromaNames, chroma);
}
bool ColourOptions::parse(const QString &text, Transfer &transfer)
{
    return parseName(text, TransferNames, transfer);
}

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
