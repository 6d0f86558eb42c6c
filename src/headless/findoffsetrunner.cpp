#include "findoffsetrunner.h"

#include "framecache.h"
#include "framesource.h"
#include "planemetrics.h"
#include "sequencecomparison.h"

#include <algorithm>
#include <vector>

namespace {

constexpr double psnrCap = 100.0;
constexpr int firstSubsampleStep = 4;
constexpr int confirmedCount = 3;
constexpr double clearMargin = 0.1; // dB

// The Y planes of one movie's frames over the top-left width x height both movies have: a
// subsample of every frame, and the whole plane too while the budget holds them.
struct YPlanes
{
    const FrameSource *pSource = nullptr;
    int width = 0;
    int height = 0;
    int step = firstSubsampleStep; // every step-th sample of every step-th row
    std::vector<std::vector<float>> subsampled;
    std::vector<std::vector<float>> whole; // empty when over the budget: read again
    std::string error;

    bool readWhole(int frame, std::vector<float> &samples)
    {
        std::vector<float> plane(size_t(pSource->getPlaneWidth(0))
                                 * size_t(pSource->getPlaneHeight(0)));
        if (!pSource->readPlane(frame, 0, plane.data(), error))
            return false;
        samples.resize(size_t(width) * size_t(height));
        for (int y = 0; y < height; ++y)
            std::copy_n(plane.begin() + qint64(y) * pSource->getPlaneWidth(0), width,
                        samples.begin() + qint64(y) * width);
        return true;
    }

    bool load(bool keepWhole)
    {
        const int frames = pSource->getNumFrames();
        subsampled.resize(size_t(frames));
        if (keepWhole)
            whole.resize(size_t(frames));
        std::vector<float> samples;
        for (int f = 0; f < frames; ++f) {
            if (!readWhole(f, samples))
                return false;
            for (int y = 0; y < height; y += step)
                for (int x = 0; x < width; x += step)
                    subsampled[size_t(f)].push_back(samples[size_t(y) * size_t(width) + size_t(x)]);
            if (keepWhole)
                whole[size_t(f)] = samples;
        }
        return true;
    }

    // The whole plane of `frame`, from memory or read again into `buffer`; null on failure.
    const std::vector<float> *wholePlane(int frame, std::vector<float> &buffer)
    {
        if (!whole.empty())
            return &whole[size_t(frame)];
        return readWhole(frame, buffer) ? &buffer : nullptr;
    }
};

double meanSquaredError(const std::vector<float> &a, const std::vector<float> &b)
{
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    return a.empty() ? 0.0 : sum / double(a.size());
}

struct Candidate
{
    int offset = 0;
    double score = 0.0; // dB
};

QString decibels(double score) { return QString::number(score, 'f', 2); }

} // namespace

int FindOffsetRunner::compare(SequenceComparison &comparison, const FrameSource &main,
                              const MetricsOptions &options)
{
    const qint64 budget
            = options.memoryBudget >= 0 ? options.memoryBudget : FrameCache::defaultBudget();
    const int depth = main.getDepth();
    for (int r = 1; r <= 2; ++r) {
        const FrameSource *pReference = comparison.getReference(r);
        if (!pReference)
            continue;
        YPlanes planes[2];
        planes[0].pSource = &main;
        planes[1].pSource = pReference;
        const int width = std::min(main.getPlaneWidth(0), pReference->getPlaneWidth(0));
        const int height = std::min(main.getPlaneHeight(0), pReference->getPlaneHeight(0));
        const qint64 wholeBytes = qint64(width) * height * qint64(sizeof(float))
                * (qint64(main.getNumFrames()) + pReference->getNumFrames());
        // Long or large movies are ranked on a sparser subsample, so that it fits the budget.
        int step = firstSubsampleStep;
        while (step < std::max(width, height) && wholeBytes / (qint64(step) * step) > budget)
            step *= 2;
        for (YPlanes &movie : planes) {
            movie.width = width;
            movie.height = height;
            movie.step = step;
            if (!movie.load(wholeBytes <= budget))
                return fail(1, QString::fromStdString(movie.error));
        }
        // Mean capped PSNR of the frames both have at `offset`; false when they have none.
        const auto score = [&](int offset, bool whole, double &result) {
            comparison.setReferenceOffset(r, offset);
            const int first = comparison.getFirstComparedFrame(r);
            const int end = comparison.getEndComparedFrame(r);
            if (first >= end)
                return false;
            double sum = 0.0;
            std::vector<float> mainBuffer, referenceBuffer;
            for (int f = first; f < end; ++f) {
                double mse = 0.0;
                if (whole) {
                    const std::vector<float> *pMain = planes[0].wholePlane(f, mainBuffer);
                    const std::vector<float> *pRef
                            = planes[1].wholePlane(f - offset, referenceBuffer);
                    if (!pMain || !pRef)
                        return false;
                    mse = meanSquaredError(*pMain, *pRef);
                } else {
                    mse = meanSquaredError(planes[0].subsampled[size_t(f)],
                                           planes[1].subsampled[size_t(f - offset)]);
                }
                sum += std::min(psnrCap, PlaneMetrics::psnrFromMse(mse, depth));
            }
            result = sum / double(end - first);
            return true;
        };
        std::vector<Candidate> candidates;
        for (int offset = -m_range; offset <= m_range; ++offset) {
            double result = 0.0;
            if (score(offset, false, result))
                candidates.push_back({offset, result});
        }
        if (candidates.empty()) {
            write(QStringLiteral("ref%1: no offset in -%2 .. %2 leaves a frame in common\n")
                          .arg(r)
                          .arg(m_range)
                          .toUtf8());
            continue;
        }
        const auto better
                = [](const Candidate &a, const Candidate &b) { return a.score > b.score; };
        std::stable_sort(candidates.begin(), candidates.end(), better);
        candidates.resize(std::min<size_t>(candidates.size(), confirmedCount));
        for (Candidate &candidate : candidates) {
            if (!score(candidate.offset, true, candidate.score)) {
                const std::string &error
                        = planes[0].error.empty() ? planes[1].error : planes[0].error;
                return fail(1, QString::fromStdString(error));
            }
        }
        std::stable_sort(candidates.begin(), candidates.end(), better);
        const Candidate &best = candidates[0];
        QString line;
        if (candidates.size() == 1) {
            line = QStringLiteral("ref%1: offset %2 (%3 dB), no runner-up")
                           .arg(r)
                           .arg(best.offset)
                           .arg(decibels(best.score));
        } else if (best.score - candidates[1].score < clearMargin) {
            line = QStringLiteral("ref%1: no clear offset (best %2 at %3 dB, runner-up %4 at %5 "
                                  "dB)")
                           .arg(r)
                           .arg(best.offset)
                           .arg(decibels(best.score))
                           .arg(candidates[1].offset)
                           .arg(decibels(candidates[1].score));
        } else {
            line = QStringLiteral("ref%1: offset %2 (%3 dB), runner-up offset %4 (%5 dB)")
                           .arg(r)
                           .arg(best.offset)
                           .arg(decibels(best.score))
                           .arg(candidates[1].offset)
                           .arg(decibels(candidates[1].score));
        }
        write((line + '\n').toUtf8());
    }
    return finish();
}
