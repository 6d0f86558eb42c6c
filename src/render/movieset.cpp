#include "movieset.h"

#include <algorithm>

#include "image3d.h"
#include "viewtype.h"

MovieSet::MovieSet(const Image3D *pMain, const Image3D *pRef1, const Image3D *pRef2, int ref1Offset,
                   int ref2Offset)
    : m_pMain(pMain)
    , m_pRef1(pRef1)
    , m_pRef2(pRef2)
    , m_ref1Offset(ref1Offset)
    , m_ref2Offset(ref2Offset)
{ }

MovieSet::ViewSources MovieSet::sources(int viewType, int frame) const
{
    switch (viewType) {
    case ViewType::Ref1:
        return {m_pRef1, referenceFrame(1, frame), nullptr, 0, false};
    case ViewType::Ref2:
        return {m_pRef2, referenceFrame(2, frame), nullptr, 0, false};
    case ViewType::Diff1:
        return {m_pMain, frame, m_pRef1, referenceFrame(1, frame), true};
    case ViewType::Diff2:
        return {m_pMain, frame, m_pRef2, referenceFrame(2, frame), true};
    default:
        return {m_pMain, frame, nullptr, 0, false};
    }
}

int MovieSet::getNumFrames() const
{
    // 64-bit sums: a huge offset must not wrap.
    long long frames = 0;
    if (m_pMain)
        frames = m_pMain->getNumFrames();
    for (int ref : {1, 2}) {
        const Image3D *pRef = getReference(ref);
        if (pRef && pRef->getNumFrames() > 0)
            frames = std::max(frames, (long long)pRef->getNumFrames() + getOffset(ref));
    }
    return int(std::clamp(frames, 0LL, (long long)(1 << 30)));
}

int MovieSet::getWidth() const
{
    int width = 0;
    for (const Image3D *pMovie : {m_pMain, m_pRef1, m_pRef2}) {
        if (pMovie)
            width = std::max(width, pMovie->getWidth());
    }
    return width;
}

int MovieSet::getHeight() const
{
    int height = 0;
    for (const Image3D *pMovie : {m_pMain, m_pRef1, m_pRef2}) {
        if (pMovie)
            height = std::max(height, pMovie->getHeight());
    }
    return height;
}

bool MovieSet::operator==(const MovieSet &other) const
{
    return m_pMain == other.m_pMain && m_pRef1 == other.m_pRef1 && m_pRef2 == other.m_pRef2
            && m_ref1Offset == other.m_ref1Offset && m_ref2Offset == other.m_ref2Offset;
}
