#pragma once

#include <QByteArray>

// A valid PNG of width x height pixels, every one black, 8 bits per channel: gray (colour type
// 0) or RGB (colour type 2). Built without encoding the pixels, so that pictures far larger
// than memory cost only a few megabytes of file and milliseconds of time. headerOnly: the
// pixel data stops at once, for pictures too large for any decoder to get that far.
QByteArray blackPng(quint32 width, quint32 height, bool rgb, bool headerOnly = false);
