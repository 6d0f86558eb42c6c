#include "filenameguess.h"

#include <QList>
#include <QRegularExpression>
#include <QSize>

#include "pixelformat.h"

namespace {

// Sizes that video people call by name.
struct NamedSize
{
    const char *name;
    int width;
    int height;
};
constexpr NamedSize NamedSizes[] = {
        {"qcif", 176, 144},    {"cif", 352, 288},     {"4cif", 704, 576},
        {"720p", 1280, 720},   {"1080p", 1920, 1080}, {"1080i", 1920, 1080},
        {"2160p", 3840, 2160}, {"4k", 3840, 2160},    {"uhd", 3840, 2160},
};

// The chroma layout a word names: 420, 422, 444, 0 for gray, -1 for none.
int chromaOf(const QString &word)
{
    static const QRegularExpression layout(QStringLiteral("^(?:yuv|i)?(420|422|444)p?$"));
    const QRegularExpressionMatch match = layout.match(word);
    if (match.hasMatch())
        return match.captured(1).toInt();
    if (word == QLatin1String("gray") || word == QLatin1String("grey")
        || word == QLatin1String("y8"))
        return 0;
    return -1;
}

// The depth a word names ("10bit", "10b", "10-bit" arrives as "10" then "bit"): 0 for none.
int depthOf(const QString &word)
{
    static const QRegularExpression bits(QStringLiteral("^(8|10|12|16)(?:bits?|b|bpp)$"));
    const QRegularExpressionMatch match = bits.match(word);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// An ffmpeg name, also without its "le" ("yuv420p10").
const PixelFormat *formatOf(const QString &word)
{
    if (const PixelFormat *pFormat = PixelFormat::byName(word))
        return pFormat;
    return PixelFormat::byName(word + QLatin1String("le"));
}

} // namespace

FileNameGuess FileNameGuess::fromName(const QString &fileName, qint64 fileSize)
{
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1).toLower();

    QList<QSize> sizes;
    static const QRegularExpression explicitSize(
            QStringLiteral("(?<![0-9])([1-9][0-9]{0,4})[x×]([1-9][0-9]{0,4})(?![0-9])"));
    for (auto it = explicitSize.globalMatch(name); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int width = match.captured(1).toInt();
        const int height = match.captured(2).toInt();
        if (width <= MaxSide && height <= MaxSide)
            sizes << QSize(width, height);
    }
    // The first size named with a side outside 1 .. MaxSide ("0x0", "99999x99999").
    QString sizeOutOfRange;
    static const QRegularExpression anySize(
            QStringLiteral("(?<![0-9])([0-9]+)[x×]([0-9]+)(?![0-9])"));
    for (auto it = anySize.globalMatch(name); it.hasNext() && sizeOutOfRange.isEmpty();) {
        const QRegularExpressionMatch match = it.next();
        for (int side : {1, 2}) {
            // Seven digits are past MaxSide already; more could overflow.
            const qint64 value = match.captured(side).left(7).toLongLong();
            if (value < 1 || value > MaxSide)
                sizeOutOfRange = match.captured(0);
        }
    }

    const PixelFormat *pNamed = nullptr;
    int chroma = -1, depth = 0;
    static const QRegularExpression separators(QStringLiteral("[^a-z0-9]+"));
    const QStringList words = name.split(separators, Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        for (const NamedSize &named : NamedSizes) {
            // "1080p50" and "720p25" carry the frame rate along.
            const QLatin1String size(named.name);
            if (word == size
                || (word.startsWith(size) && word.size() - size.size() <= 3
                    && word.mid(size.size()).toInt() > 0))
                sizes << QSize(named.width, named.height);
        }
        if (const PixelFormat *pFormat = formatOf(word))
            pNamed = pNamed ? pNamed : pFormat;
        if (chromaOf(word) >= 0 && chroma < 0)
            chroma = chromaOf(word);
        if (depthOf(word) && !depth)
            depth = depthOf(word);
        // "10 bit", "10-bit": the number and the word come apart.
        if (!depth && i + 1 < words.size() && words.at(i + 1).startsWith(QLatin1String("bit")))
            depth = depthOf(word + QLatin1String("bit"));
    }

    FileNameGuess guess;
    guess.m_pFormat = pNamed;
    // "gray_10bit", "yuv422p_10b": an 8-bit name and a depth make a deeper format.
    if (pNamed && depth > 8 && pNamed->getDepth() == 8 && !pNamed->isSemiPlanar()) {
        if (const PixelFormat *pDeeper = PixelFormat::byLayout(pNamed->getChroma(), depth))
            guess.m_pFormat = pDeeper;
    }
    if (!guess.m_pFormat && (chroma >= 0 || depth > 0))
        guess.m_pFormat = PixelFormat::byLayout(chroma >= 0 ? chroma : 420, depth ? depth : 8);

    if (!sizes.isEmpty()) {
        QSize chosen = sizes.first();
        if (fileSize > 0) {
            const PixelFormat &format = guess.m_pFormat
                    ? *guess.m_pFormat
                    : *PixelFormat::byName(QStringLiteral("yuv420p"));
            for (const QSize &size : sizes) {
                if (fileSize % format.getFrameBytes(size.width(), size.height()) == 0) {
                    chosen = size;
                    break;
                }
            }
        }
        guess.m_width = chosen.width();
        guess.m_height = chosen.height();
    } else {
        guess.m_sizeOutOfRange = sizeOutOfRange;
    }
    return guess;
}

QString FileNameGuess::describe() const
{
    QStringList parts;
    if (hasSize())
        parts << QStringLiteral("%1x%2").arg(m_width).arg(m_height);
    if (m_pFormat)
        parts << m_pFormat->getName();
    return parts.join(QLatin1Char(' '));
}
