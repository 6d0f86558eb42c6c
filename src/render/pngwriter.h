#pragma once

#include <QImage>
#include <QString>

// Writes rendered slices as PNG pictures. A slice's row 0 is the bottom row of the picture; the
// PNG's first row is the picture's top row.
class PngWriter
{
public:
    // The slice turned upright: row 0 the top row of the picture.
    static QImage upright(const QImage &slice);

    // Writes the upright slice as an 8-bit PNG to fileName through SaveFile, so a failed write
    // leaves neither a partial file nor a changed one: gray (the slice's pixels are gray), or
    // RGB for a colour slice. False with the reason in *pError (which may be null).
    static bool write(const QImage &slice, const QString &fileName, QString *pError = nullptr,
                      bool colour = false);
};
