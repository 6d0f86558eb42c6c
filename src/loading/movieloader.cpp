#include "movieloader.h"

#include <cstring>
#include <vector>

#include <QDir>

#include "dialogprovider.h"
#include "dimensionsdialog.h"
#include "image2d.h"
#include "image3d.h"
#include "loadedpiece.h"

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
    if (fileNames.isEmpty())
        return false;
    if (fileNames.size() == 1)
        return loadSingleFile(slot, fileNames.first().toStdString(), askDimensions);
    return loadSeveralFiles(slot, fileNames, askDimensions);
}

bool MovieLoader::loadSingleFile(std::unique_ptr<Image3D> &slot, const std::string &fileName,
                                 bool askDimensions)
{
    Image2D image;
    if (image.loadImage(fileName)) {
        auto movie = std::make_unique<Image3D>(image.getWidth(), image.getHeight(), 1);
        if (movie->getSampleCount() != image.getSampleCount()) {
            showWarning("Loading not successful:\n" + movie->getErrorString());
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
    if (askDimensions && !askFrameDimensions(applyToOthers))
        return false;

    auto movie = std::make_unique<Image3D>();
    if (movie->loadRaw(fileName, m_settings.frameWidth, m_settings.frameHeight, m_settings.isYUV)) {
        slot = std::move(movie);
        return true;
    }
    if (movie->getNumFrames() >= 1) {
        showWarning("Loading not entirely successful, but continuing with partially loaded "
                    "data\n"
                    + movie->getErrorString());
        slot = std::move(movie);
        return true;
    }
    const std::string text = "Loading not successful:\n" + movie->getErrorString();
    movie.reset();
    showWarning(text);
    return false;
}

bool MovieLoader::loadSeveralFiles(std::unique_ptr<Image3D> &slot, const QStringList &fileNames,
                                   bool askDimensions)
{
    const int count = int(fileNames.size());
    PieceList pieces(count);
    bool applyToAll = !askDimensions;

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

        if (!applyToAll && !askFrameDimensions(applyToAll))
            return false;

        auto volume = std::make_unique<Image3D>();
        // A partial read is accepted silently on this road.
        if (!volume->loadRaw(fileName, m_settings.frameWidth, m_settings.frameHeight,
                             m_settings.isYUV)
            && volume->getNumFrames() <= 0) {
            const std::string text
                    = "Loading " + fileName + " not successful:\n" + volume->getErrorString();
            volume.reset();
            pieces.clear();
            showWarning(text);
            return false;
        }
        pieces[i] = {true, volume.release()};
    }

    std::unique_ptr<Image3D> movie = stackPieces(pieces.pieces());
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

bool MovieLoader::askFrameDimensions(bool &applyToOthers)
{
    DimensionsDialog dialog;
    dialog.setFrameSize(m_settings.frameWidth, m_settings.frameHeight);
    dialog.setYUV(m_settings.isYUV);
    dialog.setWindowTitle(QStringLiteral("Enter frame dimensions"));
    if (m_dialogs.execDimensionsDialog(dialog) != QDialog::Accepted)
        return false;

    dialog.getFrameSize(m_settings.frameWidth, m_settings.frameHeight);
    m_settings.isYUV = dialog.isYUV();
    applyToOthers = dialog.applyToOthers();
    return true;
}

void MovieLoader::showWarning(const std::string &text)
{
    m_dialogs.warning(m_pParent, QStringLiteral("Warning"), QString::fromStdString(text));
}
