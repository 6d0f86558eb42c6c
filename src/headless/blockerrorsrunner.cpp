#include "blockerrorsrunner.h"

#include "metricsformatter.h"
#include "sequencecomparison.h"

int BlockErrorsRunner::compare(SequenceComparison &comparison, const FrameSource &,
                               const MetricsOptions &options)
{
    bool firstRow = true;
    write(options.isJson ? QByteArray("{\"blocks\": [") : MetricsFormatter::blockCsvHeader());
    const bool ok = comparison.runBlocks(
            options.blockSize,
            [&options](FrameBlockErrors &blocks) {
                blocks.frame += options.files.firstFrame;
                return options.isJson ? MetricsFormatter::blockJsonRows(blocks)
                                      : MetricsFormatter::blockCsvRows(blocks);
            },
            [&](const QByteArray &text) {
                write(options.isJson ? (firstRow ? "\n" : ",\n") + text : text);
                firstRow = false;
                return true;
            });
    if (!ok)
        return stopped(comparison, options.isJson);
    if (options.isJson)
        write("\n]}\n");
    return finish();
}
