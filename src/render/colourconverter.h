#pragma once

#include <QImage>

#include <memory>

#include "colouroptions.h"

struct YuvFrame;
struct ColourTables;

// Turns Y'CbCr frames into 8-bit RGB for the screen under settled options (no Automatic
// choice left: see ColourOptions::resolve) for one bit depth (8 to 16): the one conversion the
// views, the readout and the export use. The result is rounded and clipped, never dithered.
class ColourConverter
{
public:
    ColourConverter(const ColourOptions &options, int depth);

    // A width x height Format_RGB32 image of the frame: image row 0 is the BOTTOM row of the
    // picture (the frame's last row), as the views store slices. Pixels outside the frame, or
    // all of them for a null frame, are black. A null image when memory runs out.
    QImage render(const YuvFrame &frame, int width, int height) const;
    // Pixel (x, y) of the frame (y counted from the top row) exactly as render paints it.
    QRgb rgbAt(const YuvFrame &frame, int x, int y) const;
    // For Transfer::Pq: the luminance in cd/m² the samples at (x, y) encode (BT.2020 linear
    // light before any tone mapping); 0 for other transfers.
    double luminanceAt(const YuvFrame &frame, int x, int y) const;

    // SMPTE ST 2084: a PQ signal 0..1 to cd/m², and back.
    static double pqToLuminance(double signal);
    static double luminanceToPq(double luminance);
    // BT.2100 HLG: the inverse OETF (signal 0..1 to scene light 0..1), and the display light in
    // cd/m² of a scene-light pixel on a 1000 cd/m² display (OOTF with gamma 1.2) given its
    // scene luminance ys (0.2627 R + 0.6780 G + 0.0593 B) and one component e.
    static double hlgToScene(double signal);
    static double hlgDisplayLight(double e, double ys);
    // BT.2390 EETF in the PQ domain: a PQ signal of a source whose white lies at
    // sourcePeak cd/m², mapped to a display of targetPeak cd/m² (black 0).
    static double eetf(double pqSignal, double sourcePeak, double targetPeak);

private:
    bool fits(const YuvFrame &frame) const;

    ColourOptions m_options;
    int m_depth;
    // Lookup tables per sample value of the matrix and range, and of the HDR curves; built once,
    // shared by copies.
    std::shared_ptr<const ColourTables> m_pTables;
};
