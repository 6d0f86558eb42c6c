#include "rawfilesource.h"

#include "pixelformat.h"
#include "rawfile.h"

RawFileSource::RawFileSource(std::shared_ptr<const RawFile> pFile, int first, int count)
    : m_pFile(std::move(pFile)), m_first(first), m_count(count)
{ }

RawFileSource::~RawFileSource() = default;

int RawFileSource::getDepth() const { return m_pFile->getFormat().getDepth(); }

int RawFileSource::getPlaneCount() const { return m_pFile->getFormat().getPlaneCount(); }

int RawFileSource::getChroma() const { return m_pFile->getFormat().getChroma(); }

int RawFileSource::getPlaneWidth(int plane) const { return m_pFile->getPlaneWidth(plane); }

int RawFileSource::getPlaneHeight(int plane) const { return m_pFile->getPlaneHeight(plane); }

bool RawFileSource::readPlane(int frame, int plane, float *pSamples, std::string &error) const
{
    if (m_pFile->readPlane(m_first + frame, plane, pSamples))
        return true;
    error = unreadable(frame, plane);
    return false;
}

bool RawFileSource::readRows(int frame, int plane, int top, int rows, float *pSamples,
                             std::string &error) const
{
    if (m_pFile->readRows(m_first + frame, plane, top, rows, pSamples))
        return true;
    error = unreadable(frame, plane);
    return false;
}

std::string RawFileSource::unreadable(int frame, int plane) const
{
    static const char *const names[] = {"Y", "U", "V"};
    return RawFile::baseName(m_pFile->getFileName()) + ": frame " + std::to_string(m_first + frame)
            + ", plane " + names[plane > 0 ? plane % 3 : 0]
            + " can't be read (the file is shorter than it was, or unreadable)";
}
