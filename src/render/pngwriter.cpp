#include "pngwriter.h"

#include <QFileDevice>
#include <QImageWriter>

#include "savefile.h"

QImage PngWriter::upright(const QImage &slice) { return slice.mirrored(false, true); }

bool PngWriter::write(const QImage &slice, const QString &fileName, QString *pError, bool colour)
{
    auto failed = [pError](const QString &reason) {
        if (pError)
            *pError = reason;
        return false;
    };
    if (slice.isNull())
        return failed(QStringLiteral("Nothing to write"));
    // Every pixel of a gray slice is gray: an 8-bit gray PNG holds it exactly, in a third of the
    // bytes and the time.
    const QImage picture = upright(slice).convertToFormat(colour ? QImage::Format_RGB888
                                                                 : QImage::Format_Grayscale8);
    if (picture.isNull())
        return failed(QStringLiteral("Not enough memory for the picture"));
    SaveFile file(fileName);
    if (!file.open())
        return failed(QString::fromStdString(file.getErrorString()));
    QImageWriter writer(file.device(), "png");
    if (!writer.write(picture)) {
        const QString reason = file.device()->error() != QFileDevice::NoError
                ? file.device()->errorString()
                : writer.errorString();
        file.abandon();
        return failed(reason);
    }
    if (!file.commit())
        return failed(QString::fromStdString(file.getErrorString()));
    return true;
}
