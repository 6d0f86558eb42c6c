#include "referencefilearguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include "pixelformat.h"

namespace {

const char *const suffixes[] = {"size", "pix-fmt", "plane", "frames"};

QString optionName(int ref, const char *suffix)
{
    return QStringLiteral("ref%1-%2").arg(ref).arg(QLatin1String(suffix));
}

} // namespace

void ReferenceFileArguments::addOptions(QCommandLineParser &parser)
{
    const char *const values[] = {"WxH", "NAME", "PLANE", "FIRST[:COUNT]"};
    for (int ref = 1; ref <= 2; ++ref)
        for (int i = 0; i < 4; ++i)
            parser.addOption(QCommandLineOption(optionName(ref, suffixes[i]), QString(),
                                                QString::fromLatin1(values[i])));
}

QString ReferenceFileArguments::helpText()
{
    return QStringLiteral(
            "  --ref1-size WxH, --ref1-pix-fmt NAME, --ref1-plane y|u|v,\n"
            "  --ref1-frames FIRST[:COUNT] (and --ref2-size ...)\n"
            "                  read the files of reference 1 (2) with this size, format,\n"
            "                  plane or frames instead of --size, --pix-fmt, --plane or\n"
            "                  --frames, in the window and without it; the plane is what\n"
            "                  the views show: --metrics still compares every plane\n");
}

bool ReferenceFileArguments::parseSize(const QString &text, int &width, int &height)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,6})[xX]([0-9]{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    width = match.captured(1).toInt();
    height = match.captured(2).toInt();
    return width >= 1 && width <= maxFrameSide && height >= 1 && height <= maxFrameSide;
}

bool ReferenceFileArguments::parseFrames(const QString &text, int &firstFrame, int &frameCount)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,9})(?::([0-9]{1,9}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || (match.hasCaptured(2) && match.captured(2).toInt() < 1))
        return false;
    firstFrame = match.captured(1).toInt();
    frameCount = match.hasCaptured(2) ? match.captured(2).toInt() : -1;
    return true;
}

bool ReferenceFileArguments::parse(const QCommandLineParser &parser, const bool hasFiles[2],
                                   QString &error)
{
    for (int ref = 1; ref <= 2; ++ref) {
        MovieFileOptions &given = m_given[ref - 1];
        for (const char *suffix : suffixes) {
            const QString name = optionName(ref, suffix);
            const QStringList values = parser.values(name);
            if (values.isEmpty())
                continue;
            if (values.size() > 1) {
                error = QStringLiteral("--%1 given more than once.").arg(name);
                return false;
            }
            if (!hasFiles[ref - 1]) {
                error = QStringLiteral("--%1 needs --ref%2 FILE.").arg(name).arg(ref);
                return false;
            }
            const QString &value = values.first();
            const QString suffixText = QLatin1String(suffix);
            QString expected;
            if (suffixText == QLatin1String("size")) {
                if (!parseSize(value, given.frameWidth, given.frameHeight)) {
                    given.frameWidth = given.frameHeight = 0;
                    expected = QStringLiteral("WxH with whole numbers from 1 to %1, for example "
                                              "352x288")
                                       .arg(maxFrameSide);
                }
            } else if (suffixText == QLatin1String("pix-fmt")) {
                if (PixelFormat::byName(value))
                    given.pixelFormat = value;
                else
                    expected = QStringLiteral("one of ")
                            + PixelFormat::names().join(QStringLiteral(", "));
            } else if (suffixText == QLatin1String("plane")) {
                given.plane = int(QStringList {"y", "u", "v"}.indexOf(value.toLower()));
                if (given.plane < 0)
                    expected = QStringLiteral("y, u or v");
            } else if (!parseFrames(value, given.firstFrame, given.frameCount)) {
                given.firstFrame = given.frameCount = -1;
                expected = QStringLiteral("FIRST or FIRST:COUNT, frames counted from 0 and COUNT "
                                          "at least 1, for example 10:50");
            }
            if (!expected.isEmpty()) {
                error = QStringLiteral("Invalid value '%1' for --%2: expected %3.")
                                .arg(value, name, expected);
                return false;
            }
        }
    }
    return true;
}

bool ReferenceFileArguments::isSet(int ref) const
{
    const MovieFileOptions &own = given(ref);
    return own.frameWidth > 0 || !own.pixelFormat.isEmpty() || own.plane >= 0
            || own.firstFrame >= 0;
}

MovieFileOptions ReferenceFileArguments::apply(int ref, MovieFileOptions shared) const
{
    const MovieFileOptions &own = given(ref);
    if (own.frameWidth > 0) {
        shared.frameWidth = own.frameWidth;
        shared.frameHeight = own.frameHeight;
    }
    if (!own.pixelFormat.isEmpty())
        shared.pixelFormat = own.pixelFormat;
    if (own.plane >= 0)
        shared.plane = own.plane;
    if (own.firstFrame >= 0) {
        shared.firstFrame = own.firstFrame;
        shared.frameCount = own.frameCount;
    }
    return shared;
}

LoadSettings ReferenceFileArguments::applyLoadAnswers(int ref, LoadSettings answers,
                                                      const QString &sharedFormat) const
{
    const MovieFileOptions &own = given(ref);
    if (own.frameWidth > 0) {
        answers.frameWidth = own.frameWidth;
        answers.frameHeight = own.frameHeight;
    }
    if (own.plane >= 0)
        answers.plane = own.plane;
    QString format = own.pixelFormat.isEmpty() ? sharedFormat : own.pixelFormat;
    answers.formatGiven = !format.isEmpty();
    if (format.isEmpty() && own.frameWidth > 0)
        format = QStringLiteral("yuv420p");
    if (!format.isEmpty()) {
        answers.pixelFormat = format;
        answers.isYUV = format == QLatin1String("yuv420p");
    }
    return answers;
}
