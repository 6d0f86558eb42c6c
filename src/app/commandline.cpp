#include "commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const int maxFrameSide = 65536;

// "WxH" with two positive decimal numbers; false for anything else.
bool parseSize(const QString &text, int &width, int &height)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,6})[xX]([0-9]{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    width = match.captured(1).toInt();
    height = match.captured(2).toInt();
    return width >= 1 && width <= maxFrameSide && height >= 1 && height <= maxFrameSide;
}

} // namespace

QString CommandLine::usage()
{
    return QStringLiteral("Usage: rawcompare [--size WxH] [--gray] [MAIN_FILE...] [--ref1 FILE]... "
                          "[--ref2 FILE]...\n");
}

QString CommandLine::versionText() { return QStringLiteral("rawcompare " RAWCOMPARE_VERSION "\n"); }

CommandLine::Action CommandLine::parse(const QStringList &arguments)
{
    *this = CommandLine();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {"h", "help"});
    const QCommandLineOption version(QStringList {"v", "version"});
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption gray(QStringLiteral("gray"));
    const QCommandLineOption ref1(QStringLiteral("ref1"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption ref2(QStringLiteral("ref2"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, size, gray, ref1, ref2});

    QStringList withProgram = arguments;
    if (withProgram.isEmpty())
        withProgram.append(QStringLiteral("rawcompare"));
    if (!parser.parse(withProgram)) {
        fail(parser.errorText());
        return m_action;
    }
    if (parser.isSet(help)) {
        m_action = Action::ShowHelp;
        m_text = usage()
                + QStringLiteral(
                         "\n"
                         "Compare a main movie with up to two reference movies.\n"
                         "\n"
                         "Files are tried as still images first and read as headerless raw "
                         "movies\n"
                         "otherwise; several files for one movie are stacked in the order given.\n"
                         "\n"
                         "  --size WxH      frame width and height of the raw files given; no\n"
                         "                  dimensions dialog is asked, and later loads start "
                         "from\n"
                         "                  these values\n"
                         "  --gray          raw files hold gray frames only (default: YUV 4:2:0)\n"
                         "  --ref1 FILE     load FILE into reference movie 1 (repeat to stack)\n"
                         "  --ref2 FILE     load FILE into reference movie 2 (repeat to stack)\n"
                         "  -h, --help      show this help and exit\n"
                         "  -v, --version   show the version and exit\n");
        return m_action;
    }
    if (parser.isSet(version)) {
        m_action = Action::ShowVersion;
        m_text = versionText();
        return m_action;
    }
    if (parser.isSet(size)) {
        const QStringList values = parser.values(size);
        if (values.size() > 1) {
            fail(QStringLiteral("--size given more than once."));
            return m_action;
        }
        if (!parseSize(values.first(), m_frameWidth, m_frameHeight)) {
            fail(QStringLiteral("Invalid frame size '%1': expected WxH with whole numbers from "
                                "1 to %2, for example 352x288.")
                         .arg(values.first())
                         .arg(maxFrameSide));
            return m_action;
        }
        m_hasSize = true;
    }
    m_isGray = parser.isSet(gray);
    m_mainFiles = parser.positionalArguments();
    m_reference1Files = parser.values(ref1);
    m_reference2Files = parser.values(ref2);
    for (const QStringList *pList : {&m_mainFiles, &m_reference1Files, &m_reference2Files}) {
        if (pList->contains(QString())) {
            fail(QStringLiteral("Empty file name."));
            return m_action;
        }
    }
    m_action = Action::Run;
    return m_action;
}

void CommandLine::fail(const QString &error)
{
    m_action = Action::Fail;
    m_text = QStringLiteral("rawcompare: ") + error + QLatin1Char('\n') + usage();
    m_hasSize = false;
    m_frameWidth = m_frameHeight = 0;
    m_isGray = false;
    m_mainFiles.clear();
    m_reference1Files.clear();
    m_reference2Files.clear();
}
