#pragma once

#include <vector>

/** Tempo over time: a list of tempo changes in seconds, starting from a default tempo.

    It answers what the render's play head reports at any moment: the tempo and the
    position in quarter notes.
*/
class TempoMap
{
public:
    explicit TempoMap (double initialBpm = 120.0);

    /** Adds a tempo change. Changes must come in non-decreasing time order; a change at
        the same time as the previous one replaces it. */
    void addChange (double seconds, double bpm);

    double getBpmAt (double seconds) const;
    double getPpqAt (double seconds) const;
    double getSecondsAtPpq (double ppq) const;

    int getNumChanges() const noexcept   { return (int) segments.size() - 1; }

private:
    struct Segment
    {
        double startSeconds, startPpq, bpm;
    };

    const Segment& segmentAtSeconds (double seconds) const;

    std::vector<Segment> segments;
};
