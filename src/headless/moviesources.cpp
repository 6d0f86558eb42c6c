#include "moviesources.h"

#include "image3d.h"
#include "movieset.h"
#include "pixelformat.h"
#include "rawfile.h"
#include "rawfilesource.h"
#include "volumesource.h"

namespace {

// The file of a movie read on demand from a YUV file, whose every plane can be read; else null.
std::shared_ptr<const RawFile> yuvFileOf(const Image3D *pMovie)
{
    std::shared_ptr<const RawFile> pFile = pMovie ? pMovie->getRawFile() : nullptr;
    return pFile && pFile->getFormat().getPlaneCount() >= 3 ? pFile : nullptr;
}

} // namespace

void MovieSources::make(const MovieSet &movies, std::unique_ptr<FrameSource> (&sources)[3])
{
    const Image3D *pMovies[3] = {movies.getMain(), movies.getReference(1), movies.getReference(2)};
    bool everyFileYuv = true;
    bool everyFileShowsY = true;
    for (const Image3D *pMovie : pMovies) {
        if (!pMovie)
            continue;
        if (yuvFileOf(pMovie))
            everyFileShowsY = everyFileShowsY && pMovie->getFilePlane() == 0;
        else
            everyFileYuv = false;
    }
    for (int i = 0; i < 3; ++i) {
        const Image3D *pMovie = pMovies[i];
        const std::shared_ptr<const RawFile> pFile = yuvFileOf(pMovie);
        if (pFile && (everyFileYuv || everyFileShowsY))
            sources[i] = std::make_unique<RawFileSource>(pFile, pMovie->getFileFirstFrame(),
                                                         pMovie->getNumFrames());
        else if (pMovie)
            sources[i] = std::make_unique<VolumeSource>(pMovie);
        else
            sources[i].reset();
    }
}
