#pragma once

#include <QtGlobal>

#include <string>

class QImage;

// The floors the figures are measured against: the least work that any program doing the same
// job has to do, written plainly. Each returns the seconds of its work.
namespace BenchFloors {

// Reads the float samples of one width x height frame (of two frames for a difference, pB not
// null) and writes a 32-bit image of the same size (image already allocated, Format_RGB32).
double renderSlice(const float *pA, const float *pB, QImage *pImage);

// Makes a width x height Format_RGB32 image and writes into each pixel the Y, U and V samples
// that cover it (4:2:0 planes of 8-bit bytes, or of 16-bit words shifted down by shift), as
// the blue, green and red bytes. *pCheck takes one pixel, so that no work is optimised away.
double yuvToRgb(const unsigned char *pY, const unsigned char *pU, const unsigned char *pV,
                int width, int height, int bytesPerSample, int shift, quint32 *pCheck);

// A plain minimum / maximum pass over count samples; the result goes to *pMin and *pMax.
double minMax(const float *pSamples, qint64 count, float *pMin, float *pMax);

// Writes frames x frameBytes bytes to a new file with one fwrite per frame (the file is
// replaced, and removed again afterwards). Negative when writing fails.
double writeFrames(const std::string &fileName, qint64 frameBytes, int frames);

} // namespace BenchFloors
