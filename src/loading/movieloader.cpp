#include "movieloader.h"

#include <algorithm>
#include <climits>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include "dialogprovider.h"
#include "dimensionsdialog.h"
#include "filenameguess.h"
#include "image2d.h"
#include "image3d.h"
#include "loadedpiece.h"
#include "memoryinfo.h"
#include "moviefileopener.h"
#include "pixelformat.h"

namespace {

// Frees the pieces read so far on every way out of the several-files road.
class PieceList
{
public:
    explicit PieceList(int count) : m_pieces(size_t(count)) { }
    ~PieceList() { deletePieces(m_pieces); }

    PieceList(const PieceList &) = delete;
    PieceList &operator=(const PieceList &) = delete;

    LoadedPiece &operator[](int i) { return m_pieces[size_t(i)]; }
    const std::vector<LoadedPiece> &pieces() const { return m_pieces; }
    void clear() { deletePieces(m_pieces); }

private:
    std::vector<LoadedPiece> m_pieces;
};

} // namespace

MovieLoader::MovieLoader(QWidget *pParent, DialogProvider &dialogs, LoadSettings &settings)
    : m_pParent(pParent), m_dialogs(dialogs), m_settings(settings)
{ }

void MovieLoader::setFrameRange(int firstFrame, int frameCount)
{
    m_givenFirstFrame = m_firstFrame = firstFrame;
    m_givenFrameCount = m_frameCount = frameCount;
}

QStringList MovieLoader::takeNotes()
{
    QStringList notes;
    notes.swap(m_notes);
    return notes;
}

const PixelFormat &MovieLoader::formatOf(const LoadSettings &settings)
{
    if (const PixelFormat *pFormat = PixelFormat::byName(settings.pixelFormat))
        return *pFormat;
    return *PixelFormat::byName(settings.isYUV ? QStringLiteral("yuv420p")
                                               : QStringLiteral("gray"));
}

QString MovieLoader::fileFilter()
{
    return QStringLiteral("YUV files, raw file, image files (*.yuv *.raw *.png *.bmp)");
}

bool MovieLoader::loadMovie(std::unique_ptr<Image3D> &slot)
{
    if (m_settings.lastDirectory.empty())
        m_settings.lastDirectory = QDir::currentPath().toStdString();

    const DialogProvider::OpenFilesAnswer answer = m_dialogs.getOpenFileNames(
            m_pParent, QString::fromStdString(m_settings.lastDirectory), fileFilter());
    if (!answer.accepted)
        return false;

    // Remembered before any file is read, so a failed load still opens there next time.
    m_settings.lastDirectory = answer.directory.toStdString();
    return loadFiles(slot, answer.files);
}

bool MovieLoader::loadFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                            bool askDimensions)
{
    m_fileNames = fileNames;
    m_firstFrame = m_givenFirstFrame;
    m_frameCount = m_givenFrameCount;
    if (fileNames.isEmpty())
        return false;
    const bool loaded = fileNames.size() == 1
            ? loadSingleFile(slot, fileNames.first(), askDimensions)
            : loadSeveralFiles(slot, fileNames, askDimensions);
    if (loaded)
        slot->setName(movieName(fileNames));
    return loaded;
}

QString MovieLoader::movieName(const QStringList &fileNames)
{
    if (fileNames.isEmpty())
        return QString();
    const QString first = QFileInfo(fileNames.first()).fileName();
    return fileNames.size() == 1 ? first
                                 : QStringLiteral("%1 +%2").arg(first).arg(fileNames.size() - 1);
}

bool MovieLoader::loadSingleFile(std::unique_ptr<Image3D> &slot, const QString &fileName,
                                 bool askDimensions)
{
    MovieFileOpener opener;
    bool applyToOthers = false;
    const Open opened = openFile(fileName, askDimensions, applyToOthers, opener);
    if (opened == Open::Cancelled)
        return false;
    auto movie = std::make_unique<Image3D>();
    if (opened == Open::Failed) {
        movie->setErrorString(opener.getErrorString(), opener.getErrorDetail());
    } else if (opener.readInto(*movie)) {
        slot = std::move(movie);
        return true;
    } else if (movie->getNumFrames() >= 1) {
        showWarning("Loading not entirely successful, but continuing with partially loaded data\n",
                    movie.get());
        slot = std::move(movie);
        return true;
    }
    // The warning runs while the old movie is still in the slot; the failed one goes first.
    const std::string text = "Loading not successful:\n" + movie->getErrorString();
    const std::string detail = movie->getErrorDetail();
    movie.reset();
    showWarning(detail.empty() ? text : text + "\n" + detail);
    return false;
}

bool MovieLoader::loadSeveralFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                                   bool askDimensions)
{
    const int count = int(fileNames.size());
    PieceList pieces(count);
    bool applyToAll = false;

    for (int i = 0; i < count; ++i) {
        MovieFileOpener opener;
        const Open opened = openFile(fileNames.at(i), askDimensions, applyToAll, opener);
        if (opened == Open::Cancelled)
            return false;
        if (opened == Open::Opened && opener.getKind() == MovieFileOpener::Kind::Picture) {
            pieces[i] = {false, opener.takeImage().release()};
            continue;
        }
        auto volume = std::make_unique<Image3D>();
        // A piece is read once, frame by frame, into the stack: a cache of two frames keeps every
        // piece small beside the stack, and leaves no room for a read-ahead thread per piece
        // (the system reads a file read front to back ahead anyway).
        if (opened == Open::Failed)
            volume->setErrorString(opener.getErrorString(), opener.getErrorDetail());
        else if (opener.readInto(*volume, 2 * opener.getFrameBytes())
                 || volume->getNumFrames() >= 1) {
            // A partial read is accepted silently on this road.
            pieces[i] = {true, volume.release()};
            continue;
        }
        std::string text = "Loading " + fileNames.at(i).toStdString() + " not successful:\n"
                + volume->getErrorString();
        if (!volume->getErrorDetail().empty())
            text += "\n" + volume->getErrorDetail();
        volume.reset();
        pieces.clear();
        showWarning(text);
        return false;
    }

    // A stack is held in memory whole: it must fit in what the machine has left beside what
    // reading its pieces still takes, or the system's out-of-memory killer would answer
    // instead of this flow.
    int maxFrames = INT_MAX;
    const StackExtent extent = stackExtent(pieces.pieces());
    const qint64 frameBytes = qint64(extent.width) * extent.height * qint64(sizeof(float));
    qint64 available = MemoryInfo::availableBytes();
    if (available >= 0)
        available = std::max<qint64>(available - extent.readingBytes, 0);
    if (available >= 0 && frameBytes > 0 && extent.frames > available / frameBytes) {
        const qint64 fit = available / frameBytes;
        const std::string sizes = "The " + std::to_string(extent.frames) + " frames of "
                + std::to_string(extent.width) + "x" + std::to_string(extent.height) + " need "
                + MemoryInfo::formatBytes(frameBytes * extent.frames).toStdString() + "; "
                + MemoryInfo::formatBytes(available).toStdString() + " are available.";
        if (fit < 1) {
            showWarning("Loading not successful:\nNot enough memory for the stacked movie\n"
                        + sizes);
            return false;
        }
        const QString question = QString::fromStdString(sizes)
                + QStringLiteral("\nLoad the first %1 frames only?").arg(fit);
        if (m_dialogs.question(m_pParent, QStringLiteral("Not enough memory"), question,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
            != QMessageBox::Yes)
            return false;
        maxFrames = int(std::min<qint64>(fit, INT_MAX));
    }
    std::unique_ptr<Image3D> movie = stackPieces(pieces.pieces(), maxFrames);
    pieces.clear();
    // Stacking fails only when the joined movie does not fit; every piece has a frame.
    if (movie->getNumFrames() <= 0) {
        const std::string text = "Loading not successful:\n" + movie->getErrorString();
        movie.reset();
        showWarning(text);
        return false;
    }
    slot = std::move(movie);
    return true;
}

MovieLoader::Open MovieLoader::openFile(const QString &fileName, bool askDimensions,
                                        bool &applyToAll, MovieFileOpener &opener)
{
    const Open opened = openWith(fileName, askDimensions, applyToAll, opener);
    m_notes << opener.takeNotes();
    return opened;
}

MovieLoader::Open MovieLoader::openWith(const QString &fileName, bool askDimensions,
                                        bool &applyToAll, MovieFileOpener &opener)
{
    if (!opener.identify(fileName))
        return Open::Failed;
    int plane = m_settings.plane;
    if (opener.getKind() == MovieFileOpener::Kind::Raw) {
        int width = m_settings.frameWidth;
        int height = m_settings.frameHeight;
        const PixelFormat *pFormat = &formatOf(m_settings);
        if (m_sizeFromNames && opener.getNameGuess().hasSize()) {
            MovieFileOptions given;
            if (m_settings.formatGiven)
                given.pixelFormat = m_settings.pixelFormat;
            const MovieFileOpener::RawAnswer answer = opener.answerRaw(given);
            width = answer.width;
            height = answer.height;
            if (answer.pFormat)
                pFormat = answer.pFormat;
        } else if (askDimensions && !applyToAll) {
            if (!askFrameDimensions(fileName, opener.getNameGuess(), applyToAll))
                return Open::Cancelled;
            width = m_settings.frameWidth;
            height = m_settings.frameHeight;
            pFormat = &formatOf(m_settings);
            plane = m_settings.plane;
        }
        if (!opener.openRaw(width, height, *pFormat, true))
            return Open::Failed;
    }
    if (!opener.selectFrames(m_firstFrame, m_frameCount))
        return Open::Failed;
    opener.selectPlane(plane);
    return Open::Opened;
}

bool MovieLoader::askFrameDimensions(const QString &name, const FileNameGuess &guess,
                                     bool &applyToOthers)
{
    // Over the main window; the name's guess comes before the remembered answers.
    DimensionsDialog dialog(m_pParent);
    if (guess.hasSize())
        dialog.setFrameSize(guess.getWidth(), guess.getHeight());
    else
        dialog.setFrameSize(m_settings.frameWidth, m_settings.frameHeight);
    dialog.setFormat(guess.getFormat() ? *guess.getFormat() : formatOf(m_settings));
    dialog.setPlane(m_settings.plane);
    dialog.setFrameRange(m_firstFrame, m_frameCount);
    const QFileInfo info(name);
    if (info.isFile())
        dialog.setFileSize(info.size());
    dialog.setWindowTitle(QStringLiteral("Enter frame dimensions: ") + info.fileName());
    if (m_dialogs.execDimensionsDialog(dialog) != QDialog::Accepted)
        return false;

    dialog.getFrameSize(m_settings.frameWidth, m_settings.frameHeight);
    m_settings.isYUV = dialog.isYUV();
    m_settings.pixelFormat = dialog.getFormat().getName();
    m_settings.plane = dialog.getPlane();
    // The range answers for the rest of this load only.
    m_firstFrame = dialog.getFirstFrame();
    m_frameCount = dialog.getFrameCount();
    applyToOthers = dialog.applyToOthers();
    return true;
}

void MovieLoader::showWarning(const std::string &text, const Image3D *pMovie)
{
    std::string message = text;
    if (pMovie) {
        message += pMovie->getErrorString();
        if (!pMovie->getErrorDetail().empty())
            message += "\n" + pMovie->getErrorDetail();
    }
    m_dialogs.warning(m_pParent, QStringLiteral("Warning"), QString::fromStdString(message));
}
