#pragma once

#include <functional>
#include <string>

#include <QString>
#include <QtGlobal>

class FrameSource;

// Where a reference fits the main movie: the offset in -range .. range (reference frame
// f - offset meets main frame f) whose frames are most alike, by the mean Y PSNR over the
// frames both have, where they have at least a quarter of the shorter movie's frames in common
// (a score of a frame or two would be chance). A PSNR above 100 dB (identical frames) counts as 100
// dB in the mean. Every offset is ranked on a subsample of Y (every 4th sample of every 4th row,
// sparser when that would not fit the memory budget); the best few are then scored on the whole
// picture.
class OffsetSearch
{
public:
    // The best and the runner-up closer than this (dB) make no clear offset.
    static constexpr double ClearMargin = 0.1;

    struct Result
    {
        bool found = false; // false: no offset in the range leaves enough frames in common
        int offset = 0;
        double score = 0.0; // dB
        bool hasRunnerUp = false;
        int runnerUpOffset = 0;
        double runnerUpScore = 0.0;
        bool isClear() const { return !hasRunnerUp || score - runnerUpScore >= ClearMargin; }
    };

    // budgetBytes bounds the Y planes held. progress (may be empty) is told (done, total) and
    // returns false to cancel. False when a frame could not be read (error says why) or when
    // cancelled (error empty).
    static bool find(const FrameSource &main, const FrameSource &reference, int range,
                     qint64 budgetBytes, Result &result, std::string &error,
                     const std::function<bool(int, int)> &progress = {});
    // One line: "ref1: offset 3 (41.20 dB), runner-up offset 2 (30.05 dB)", or "ref1: no clear
    // offset (...)" when the two are within ClearMargin.
    static QString describe(const Result &result, int reference, int range);
};
