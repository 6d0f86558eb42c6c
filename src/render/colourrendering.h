#pragma once

#include <QImage>
#include <QString>

#include <map>
#include <memory>
#include <tuple>

#include "colouroptions.h"
#include "movieset.h"

class ColourConverter;
class Image3D;

// Movies shown in colour under the options chosen: the one place where the views, the readout
// and the export turn a movie's frame into RGB. Only a movie read from a file with chroma has
// colour; any other stays gray.
class ColourRendering
{
public:
    explicit ColourRendering(const ColourOptions &options = ColourOptions());
    ~ColourRendering();
    ColourRendering(const ColourRendering &other);
    ColourRendering &operator=(const ColourRendering &other);

    const ColourOptions &getOptions() const { return m_options; }
    void setOptions(const ColourOptions &options);

    static bool hasColour(const Image3D *pMovie);
    // Whether a colour session shows what a view reads in colour: a movie (not a difference)
    // with chroma, at one of its frames.
    static bool inColour(const MovieSet::ViewSources &sources);
    // The options settled for that movie: its size and its file's range tag decide the
    // automatic choices.
    ColourOptions settledFor(const Image3D *pMovie) const;
    // What is used for that movie: "BT.709, limited range, bilinear chroma, SDR".
    QString describe(const Image3D *pMovie) const;
    static QString describe(const ColourOptions &settled);

    // A width x height Format_RGB32 image of the movie's frame (image row 0 is the bottom row of
    // the picture), black outside the movie; a null image when the movie has no colour, the
    // frame doesn't exist or can't be read, or memory runs out.
    QImage render(const Image3D *pMovie, int frame, int width, int height) const;

    // What the readout says of pixel (x, row) of a frame (row 0 at the bottom): the Y sample,
    // the U and V samples that cover it, the RGB shown and, for a PQ transfer, the luminance the
    // samples encode in cd/m² (else negative). False where the movie has no such pixel or colour.
    struct Pixel
    {
        int y = 0;
        int u = 0;
        int v = 0;
        QRgb rgb = 0;
        double luminance = -1;
    };
    bool pixelAt(const Image3D *pMovie, int frame, int x, int row, Pixel &pixel) const;

private:
    const ColourConverter &converterFor(const ColourOptions &settled, int depth) const;

    ColourOptions m_options;
    // Converters built so far, by settled options and depth: each holds its lookup tables.
    using Key = std::tuple<int, int, int, int, int>;
    mutable std::map<Key, std::shared_ptr<const ColourConverter>> m_converters;
};
