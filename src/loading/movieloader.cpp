#include "movieloader.h"

#include <climits>
#include <cstring>
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
#include "pixelformat.h"
#include "rawfile.h"

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
    if (fileNames.isEmpty())
        return false;
    const bool loaded = fileNames.size() == 1
            ? loadSingleFile(slot, fileNames.first().toStdString(), askDimensions)
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

bool MovieLoader::loadSingleFile(std::unique_ptr<Image3D> &slot, const std::string &fileName,
                                 bool askDimensions)
{
    Image2D image;
    if (image.loadImage(fileName)) {
        auto movie = std::make_unique<Image3D>(image.getWidth(), image.getHeight(), 1);
        if (movie->getSampleCount() != image.getSampleCount()) {
            showWarning("Loading not successful:\n", movie.get());
            return false;
        }
        // An image row and a frame row share one layout: sample (x, y) sits at x + y * width
        // in both.
        if (image.getSampleCount() > 0)
            std::memcpy(movie->getData(), image.getData(),
                        size_t(image.getSampleCount()) * sizeof(float));
        slot = std::move(movie);
        return true;
    }
    // A picture too large to decode is still a picture: reading its bytes as raw frames would
    // only show noise, so say why it failed instead.
    if (image.isTooLarge()) {
        showWarning("Loading not successful:\n" + image.getErrorString());
        return false;
    }

    bool applyToOthers = false;
    auto movie = std::make_unique<Image3D>();
    switch (readRaw(fileName, askDimensions, applyToOthers, *movie)) {
    case RawRead::Cancelled:
        return false;
    case RawRead::Complete:
        slot = std::move(movie);
        return true;
    case RawRead::Partial:
        showWarning("Loading not entirely successful, but continuing with partially loaded data\n",
                    movie.get());
        slot = std::move(movie);
        return true;
    case RawRead::Failed:
        break;
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
        const std::string fileName = fileNames.at(i).toStdString();

        auto image = std::make_unique<Image2D>();
        if (image->loadImage(fileName)) {
            pieces[i] = {false, image.release()};
            continue;
        }
        if (image->isTooLarge()) {
            const std::string text
                    = "Loading " + fileName + " not successful:\n" + image->getErrorString();
            image.reset();
            pieces.clear();
            showWarning(text);
            return false;
        }
        image.reset();

        auto volume = std::make_unique<Image3D>();
        const RawRead read = readRaw(fileName, askDimensions, applyToAll, *volume);
        if (read == RawRead::Cancelled)
            return false;
        // A partial read is accepted silently on this road.
        if (read == RawRead::Failed) {
            std::string text
                    = "Loading " + fileName + " not successful:\n" + volume->getErrorString();
            if (!volume->getErrorDetail().empty())
                text += "\n" + volume->getErrorDetail();
            volume.reset();
            pieces.clear();
            showWarning(text);
            return false;
        }
        pieces[i] = {true, volume.release()};
    }

    // A stack is held in memory whole: it must fit in what the machine has left, or the
    // system's out-of-memory killer would answer instead of this flow.
    int maxFrames = INT_MAX;
    const StackExtent extent = stackExtent(pieces.pieces());
    const qint64 frameBytes = qint64(extent.width) * extent.height * qint64(sizeof(float));
    const qint64 available = MemoryInfo::availableBytes();
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

MovieLoader::RawRead MovieLoader::readRaw(const std::string &fileName, bool askDimensions,
                                          bool &applyToAll, Image3D &movie)
{
    auto outcome = [&movie](bool complete) {
        if (complete)
            return RawRead::Complete;
        return movie.getNumFrames() >= 1 ? RawRead::Partial : RawRead::Failed;
    };

    // A y4m file answers the dimensions question itself.
    if (RawFile::hasY4mMagic(fileName)) {
        auto pFile = std::make_unique<RawFile>();
        if (!pFile->openY4m(fileName)) {
            movie.setErrorString(pFile->getErrorString(), pFile->getErrorDetail());
            return RawRead::Failed;
        }
        const int plane
                = m_settings.plane < pFile->getFormat().getPlaneCount() ? m_settings.plane : 0;
        return outcome(movie.openRaw(std::move(pFile), plane, m_settings.firstFrame,
                                     m_settings.frameCount));
    }

    const QString name = QString::fromStdString(fileName);
    const FileNameGuess guess = FileNameGuess::fromName(name, QFileInfo(name).size());
    int width = m_settings.frameWidth;
    int height = m_settings.frameHeight;
    const PixelFormat *pFormat = &formatOf(m_settings);
    int plane = m_settings.plane;
    if (m_sizeFromNames && guess.hasSize()) {
        width = guess.getWidth();
        height = guess.getHeight();
        if (guess.getFormat() && !m_settings.formatGiven)
            pFormat = guess.getFormat();
        m_notes << QStringLiteral("%1: %2x%3 %4, from the file name")
                           .arg(QFileInfo(name).fileName())
                           .arg(width)
                           .arg(height)
                           .arg(pFormat->getName());
    } else if (askDimensions && !applyToAll) {
        if (!askFrameDimensions(fileName, guess, applyToAll))
            return RawRead::Cancelled;
        width = m_settings.frameWidth;
        height = m_settings.frameHeight;
        pFormat = &formatOf(m_settings);
        plane = m_settings.plane;
    }
    if (plane >= pFormat->getPlaneCount())
        plane = 0;
    // 8-bit gray and yuv420p keep the reader's rule that both sides are even.
    const QString formatName = pFormat->getName();
    if (plane == 0
        && (formatName == QLatin1String("yuv420p") || formatName == QLatin1String("gray")))
        return outcome(movie.openRaw(fileName, width, height, formatName != QLatin1String("gray"),
                                     m_settings.firstFrame, m_settings.frameCount));
    return outcome(movie.openRaw(fileName, *pFormat, width, height, plane, m_settings.firstFrame,
                                 m_settings.frameCount));
}

bool MovieLoader::askFrameDimensions(const std::string &fileName, const FileNameGuess &guess,
                                     bool &applyToOthers)
{
    // Over the main window; the name's guess comes before the remembered answers.
    DimensionsDialog dialog(m_pParent);
    const QString name = QString::fromStdString(fileName);
    if (guess.hasSize())
        dialog.setFrameSize(guess.getWidth(), guess.getHeight());
    else
        dialog.setFrameSize(m_settings.frameWidth, m_settings.frameHeight);
    dialog.setFormat(guess.getFormat() ? *guess.getFormat() : formatOf(m_settings));
    dialog.setPlane(m_settings.plane);
    dialog.setFrameRange(m_settings.firstFrame, m_settings.frameCount);
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
    m_settings.firstFrame = dialog.getFirstFrame();
    m_settings.frameCount = dialog.getFrameCount();
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
