#include "pngwriter.h"

#include <QImageWriter>
#include <QSaveFile>

QImage PngWriter::upright(const QImage &slice) { return slice.mirrored(false, true); }

bool PngWriter::write(const QImage &slice, const QString &fileName, QString *pError)
{
    auto failed = [pError](const QString &reason) {
        if (pError)
            *pError = reason;
        return false;
    };
    if (slice.isNull())
        return failed(QStringLiteral("Nothing to write"));
    // Every pixel of a rendered slice is gray: an 8-bit gray PNG holds it exactly, in a third of
    // the bytes and the time.
    const QImage picture = upright(slice).convertToFormat(QImage::Format_Grayscale8);
    if (picture.isNull())
        return failed(QStringLiteral("Not enough memory for the picture"));
    QSaveFile file(fileName);
    // As the movie saves do: a destination that is no regular file (a device), or one whose
    // folder takes no temporary file, is written directly.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    QImageWriter writer(&file, "png");
    if (!writer.write(picture)) {
        const QString reason
                = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return failed(reason);
    }
    if (!file.commit())
        return failed(file.errorString());
    return true;
}
