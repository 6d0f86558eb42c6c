#include "offsetsearch.h"

#include "framesource.h"
#include "planemetrics.h"
#include "sequencecomparison.h"

#include <algorithm>
#include <vector>

namespace {

constexpr double psnrCap = 100.0;
constexpr int firstSubsampleStep = 4;
constexpr int confirmedCount = 3;

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

    // done counts the frames read across the calls, of total.
    bool load(bool keepWhole, int &done, int total, const std::function<bool(int, int)> &progress)
    {
        const int frames = pSource->getNumFrames();
        subsampled.resize(size_t(frames));
        if (keepWhole)
            whole.resize(size_t(frames));
        std::vector<float> samples;
        for (int f = 0; f < frames; ++f) {
            if ((progress && !progress(done++, total)) || !readWhole(f, samples))
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

bool OffsetSearch::find(const FrameSource &main, const FrameSource &reference, int range,
                        qint64 budgetBytes, Result &result, std::string &error,
                        const std::function<bool(int, int)> &progress)
{
    result = Result();
    error.clear();
    SequenceComparison comparison(&main, &reference, nullptr);
    const int depth = main.getDepth();
    YPlanes planes[2];
    planes[0].pSource = &main;
    planes[1].pSource = &reference;
    const int width = std::min(main.getPlaneWidth(0), reference.getPlaneWidth(0));
    const int height = std::min(main.getPlaneHeight(0), reference.getPlaneHeight(0));
    const qint64 wholeBytes = qint64(width) * height * qint64(sizeof(float))
            * (qint64(main.getNumFrames()) + reference.getNumFrames());
    // Long or large movies are ranked on a sparser subsample, so that it fits the budget.
    int step = firstSubsampleStep;
    while (step < std::max(width, height) && wholeBytes / (qint64(step) * step) > budgetBytes)
        step *= 2;
    // A score of a frame or two is chance, not evidence: an offset counts when the movies have
    // a quarter of the shorter one's frames in common.
    const int fewestInCommon
            = std::max(1, std::min(main.getNumFrames(), reference.getNumFrames()) / 4);
    const int offsets = 2 * range + 1;
    const int total = main.getNumFrames() + reference.getNumFrames() + offsets + confirmedCount;
    int done = 0;
    for (YPlanes &movie : planes) {
        movie.width = width;
        movie.height = height;
        movie.step = step;
        if (!movie.load(wholeBytes <= budgetBytes, done, total, progress)) {
            error = movie.error;
            return false;
        }
    }
    // Mean capped PSNR of the frames both have at `offset`; false when they have none or a
    // frame can't be read.
    const auto score = [&](int offset, bool whole, double &mean) {
        comparison.setReferenceOffset(1, offset);
        const int first = comparison.getFirstComparedFrame(1);
        const int end = comparison.getEndComparedFrame(1);
        if (end - first < fewestInCommon)
            return false;
        double sum = 0.0;
        std::vector<float> mainBuffer, referenceBuffer;
        for (int f = first; f < end; ++f) {
            double mse = 0.0;
            if (whole) {
                const std::vector<float> *pMain = planes[0].wholePlane(f, mainBuffer);
                const std::vector<float> *pRef = planes[1].wholePlane(f - offset, referenceBuffer);
                if (!pMain || !pRef)
                    return false;
                mse = meanSquaredError(*pMain, *pRef);
            } else {
                mse = meanSquaredError(planes[0].subsampled[size_t(f)],
                                       planes[1].subsampled[size_t(f - offset)]);
            }
            sum += std::min(psnrCap, PlaneMetrics::psnrFromMse(mse, depth));
        }
        mean = sum / double(end - first);
        return true;
    };
    std::vector<Candidate> candidates;
    for (int offset = -range; offset <= range; ++offset) {
        if (progress && !progress(done++, total))
            return false;
        double mean = 0.0;
        if (score(offset, false, mean))
            candidates.push_back({offset, mean});
    }
    if (candidates.empty())
        return true;
    const auto better = [](const Candidate &a, const Candidate &b) { return a.score > b.score; };
    std::stable_sort(candidates.begin(), candidates.end(), better);
    candidates.resize(std::min<size_t>(candidates.size(), confirmedCount));
    for (Candidate &candidate : candidates) {
        if ((progress && !progress(done++, total)))
            return false;
        if (!score(candidate.offset, true, candidate.score)) {
            error = planes[0].error.empty() ? planes[1].error : planes[0].error;
            return false;
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), better);
    result.found = true;
    result.offset = candidates[0].offset;
    result.score = candidates[0].score;
    result.hasRunnerUp = candidates.size() > 1;
    if (result.hasRunnerUp) {
        result.runnerUpOffset = candidates[1].offset;
        result.runnerUpScore = candidates[1].score;
    }
    if (progress)
        progress(total, total);
    return true;
}

QString OffsetSearch::describe(const Result &result, int reference, int range)
{
    QString line;
    if (!result.found) {
        line = QStringLiteral("ref%1: no offset in -%2 .. %2 leaves a frame in common")
                       .arg(reference)
                       .arg(range);
    } else if (!result.hasRunnerUp) {
        line = QStringLiteral("ref%1: offset %2 (%3 dB), no runner-up")
                       .arg(reference)
                       .arg(result.offset)
                       .arg(decibels(result.score));
    } else {
        line = QString::fromLatin1(result.isClear()
                                           ? "ref%1: offset %2 (%3 dB), runner-up offset %4 "
                                             "(%5 dB)"
                                           : "ref%1: no clear offset (best %2 at %3 dB, "
                                             "runner-up %4 at %5 dB)")
                       .arg(reference)
                       .arg(result.offset)
                       .arg(decibels(result.score))
                       .arg(result.runnerUpOffset)
                       .arg(decibels(result.runnerUpScore));
    }
    return line;
}
