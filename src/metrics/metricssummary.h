#pragma once

#include "framemetrics.h"

#include <array>

// Running totals of the frames compared, per reference (1, 2) and plane (0 = Y, 1 = U, 2 = V).
class MetricsSummary
{
public:
    explicit MetricsSummary(int depth = 8) : m_depth(depth) { }

    void add(const FrameMetrics &metrics);

    // Frames counted for that reference and plane; the rest are meaningless when 0.
    int getFrameCount(int reference, int plane) const { return entry(reference, plane).frames; }
    // Mean of the frames' PSNR (+inf when a frame was identical).
    double getMeanPsnr(int reference, int plane) const;
    // PSNR of the mean of the frames' MSE (what ffmpeg's psnr filter reports for a plane).
    double getPsnrOfMeanMse(int reference, int plane) const;
    double getMeanMse(int reference, int plane) const;
    double getMeanSsim(int reference, int plane) const;
    // The frame with the lowest PSNR (the first of equals) and its PSNR.
    int getWorstFrame(int reference, int plane) const { return entry(reference, plane).worstFrame; }
    double getWorstPsnr(int reference, int plane) const
    {
        return entry(reference, plane).worstPsnr;
    }

private:
    struct Entry
    {
        int frames = 0;
        double psnrSum = 0.0;
        double mseSum = 0.0;
        double ssimSum = 0.0;
        int worstFrame = -1;
        double worstPsnr = 0.0;
    };
    const Entry &entry(int reference, int plane) const;

    int m_depth = 8;
    std::array<std::array<Entry, 3>, 2> m_entries;
};
