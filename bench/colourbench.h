#pragma once

// The colour figure, run inside a child process on frames made in memory. It prints its
// medians as "name=value" lines and returns the exit status.
namespace ColourBench {

// Figure 15: seconds per 1920x1080 4:2:0 frame turned into a fresh RGB32 image by
// ColourConverter::render, 8-bit with nearest ("nearest") and bilinear ("bilinear") chroma and
// 10-bit with nearest ("nearest10") and as a PQ preview ("pq"), and by the floor on 8-bit ("floor")
// and 16-bit samples
// ("floor16").
int convert(int rounds);

} // namespace ColourBench
