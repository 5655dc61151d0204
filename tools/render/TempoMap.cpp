#include "TempoMap.h"

#include <algorithm>

TempoMap::TempoMap (double initialBpm)
{
    segments.push_back ({ 0.0, 0.0, initialBpm });
}

void TempoMap::addChange (double seconds, double bpm)
{
    auto& last = segments.back();
    seconds = std::max (seconds, last.startSeconds);

    if (seconds == last.startSeconds)
    {
        last.bpm = bpm;
        return;
    }

    const auto ppq = last.startPpq + (seconds - last.startSeconds) * last.bpm / 60.0;
    segments.push_back ({ seconds, ppq, bpm });
}

const TempoMap::Segment& TempoMap::segmentAtSeconds (double seconds) const
{
    auto it = std::upper_bound (segments.begin(), segments.end(), seconds,
                                [] (double s, const Segment& seg) { return s < seg.startSeconds; });
    return it == segments.begin() ? segments.front() : *(it - 1);
}

double TempoMap::getBpmAt (double seconds) const
{
    return segmentAtSeconds (seconds).bpm;
}

double TempoMap::getPpqAt (double seconds) const
{
    const auto& seg = segmentAtSeconds (seconds);
    return seg.startPpq + (seconds - seg.startSeconds) * seg.bpm / 60.0;
}

double TempoMap::getSecondsAtPpq (double ppq) const
{
    auto it = std::upper_bound (segments.begin(), segments.end(), ppq,
                                [] (double p, const Segment& seg) { return p < seg.startPpq; });
    const auto& seg = it == segments.begin() ? segments.front() : *(it - 1);
    return seg.startSeconds + (ppq - seg.startPpq) * 60.0 / seg.bpm;
}
