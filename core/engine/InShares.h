#pragma once

#include <QtGlobal>

#include <algorithm>
#include <thread>
#include <vector>

// Runs `work(from, to)` over the indexes [0, count), shared out in contiguous shares among up to
// `maxThreads` threads (the calling one among them), each share at least `minShare` long; returns
// once every share is done. One processor is left to the rest of the program, so that the window
// keeps answering. For work that mostly waits on the disk.
template <typename Work>
void inShares(qsizetype count, qsizetype minShare, qsizetype maxThreads, const Work& work)
{
    const qsizetype processors = std::max<qsizetype>(qsizetype(std::thread::hardware_concurrency()) - 1, 1);
    const qsizetype threads = std::clamp<qsizetype>(count / std::max<qsizetype>(minShare, 1), 1,
                                                    std::min(maxThreads, processors));
    const qsizetype share = (count + threads - 1) / threads;
    std::vector<std::thread> helpers;
    for (qsizetype t = 1; t < threads; ++t)
        helpers.emplace_back([&work, t, share, count] { work(t * share, std::min(count, (t + 1) * share)); });
    work(0, std::min(count, share));
    for (std::thread& helper : helpers)
        helper.join();
}
