#include "colourbench.h"

#include <cstdio>
#include <memory>
#include <random>

#include <QImage>

#include "benchclock.h"
#include "benchfloors.h"
#include "colourconverter.h"
#include "roundrobin.h"
#include "yuvframe.h"

namespace ColourBench {

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

// A 4:2:0 frame of random samples of that depth, its planes one after the other.
YuvFrame randomFrame(int depth)
{
    YuvFrame frame;
    frame.width = Width;
    frame.height = Height;
    frame.chromaWidth = Width / 2;
    frame.chromaHeight = Height / 2;
    frame.depth = depth;
    const int bytes = frame.bytesPerSample();
    const qint64 luma = qint64(Width) * Height;
    const qint64 samples = luma * 3 / 2;
    std::shared_ptr<unsigned char> pData(new unsigned char[size_t(samples * bytes)],
                                         std::default_delete<unsigned char[]>());
    std::mt19937 random(depth);
    std::uniform_int_distribution<int> value(0, (1 << depth) - 1);
    for (qint64 i = 0; i < samples; ++i) {
        if (bytes == 1)
            pData.get()[i] = static_cast<unsigned char>(value(random));
        else
            reinterpret_cast<quint16 *>(pData.get())[i] = static_cast<quint16>(value(random));
    }
    frame.planes[0] = pData.get();
    frame.planes[1] = frame.planes[0] + luma * bytes;
    frame.planes[2] = frame.planes[1] + luma / 4 * bytes;
    frame.strides[0] = Width * bytes;
    frame.strides[1] = frame.strides[2] = Width / 2 * bytes;
    frame.data = pData;
    return frame;
}

ColourOptions settled(ColourOptions::Chroma chroma,
                      ColourOptions::Transfer transfer = ColourOptions::Transfer::Sdr)
{
    ColourOptions options;
    options.transfer = transfer;
    options.matrix = ColourOptions::Matrix::Bt709;
    options.range = ColourOptions::Range::Limited;
    options.chroma = chroma;
    return options;
}

} // namespace

int convert(int rounds)
{
    const YuvFrame frame8 = randomFrame(8);
    const YuvFrame frame10 = randomFrame(10);
    const ColourConverter nearest(settled(ColourOptions::Chroma::Nearest), 8);
    const ColourConverter bilinear(settled(ColourOptions::Chroma::Bilinear), 8);
    const ColourConverter nearest10(settled(ColourOptions::Chroma::Nearest), 10);
    const ColourConverter pq(settled(ColourOptions::Chroma::Nearest, ColourOptions::Transfer::Pq),
                             10);
    quint32 check = 0;
    auto ours = [&](const ColourConverter &converter, const YuvFrame &frame) {
        const double start = benchSeconds();
        const QImage image = converter.render(frame, Width, Height);
        const double seconds = benchSeconds() - start;
        check += image.pixel(Width / 2, Height / 2);
        return seconds;
    };
    auto floor = [&](const YuvFrame &frame) {
        quint32 pixel = 0;
        const double seconds
                = BenchFloors::yuvToRgb(frame.planes[0], frame.planes[1], frame.planes[2], Width,
                                        Height, frame.bytesPerSample(), frame.depth - 8, &pixel);
        check += pixel;
        return seconds;
    };
    RoundRobin robin;
    const int oursNearest = robin.add("nearest", [&] { return ours(nearest, frame8); });
    const int oursBilinear = robin.add("bilinear", [&] { return ours(bilinear, frame8); });
    const int oursNearest10 = robin.add("nearest10", [&] { return ours(nearest10, frame10); });
    const int oursPq = robin.add("pq", [&] { return ours(pq, frame10); });
    const int floor8 = robin.add("floor", [&] { return floor(frame8); });
    const int floor16 = robin.add("floor16", [&] { return floor(frame10); });
    robin.run(rounds);
    std::printf("nearest=%.9f\nbilinear=%.9f\nnearest10=%.9f\npq=%.9f\nfloor=%.9f\n"
                "floor16=%.9f\ncheck=%u\n",
                robin.median(oursNearest), robin.median(oursBilinear), robin.median(oursNearest10),
                robin.median(oursPq), robin.median(floor8), robin.median(floor16), check);
    return 0;
}

} // namespace ColourBench
