// The start-up peer: a minimal Qt 6 program that shows one empty QMainWindow. Given a file of
// YUV 4:2:0 frames and their size (FILE WIDTH HEIGHT), it first reads the luma of frame 0,
// converts it to floats and renders them into an image that the window shows.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>

#include "benchfloors.h"
#include "shownprobe.h"

int main(int argc, char *argv[])
{
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    ShownProbe probe;
    QMainWindow window;
    if (argc == 4) {
        const int width = std::atoi(argv[2]);
        const int height = std::atoi(argv[3]);
        const size_t luma = size_t(width) * size_t(height);
        std::vector<unsigned char> bytes(luma);
        std::FILE *pFile = std::fopen(argv[1], "rb");
        if (!pFile || std::fread(bytes.data(), 1, luma, pFile) != luma)
            return 1;
        std::fclose(pFile);
        std::vector<float> samples(bytes.begin(), bytes.end());
        QImage image(width, height, QImage::Format_RGB32);
        BenchFloors::renderSlice(samples.data(), nullptr, &image);
        auto *pLabel = new QLabel;
        pLabel->setPixmap(QPixmap::fromImage(image));
        window.setCentralWidget(pLabel);
    }
    window.show();
    return app.exec();
}
