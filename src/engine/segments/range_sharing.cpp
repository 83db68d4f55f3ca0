#include "engine/segments/range_sharing.h"

#include <algorithm>
#include <limits>

#include "engine/manifest/setup_manifest.h"

namespace zel {

namespace {

// A window's line time may round to nothing on a fast line.
constexpr double kLeastLineSeconds = 1e-6;
// How many windows of its range a line must have ahead before it goes to
// look at an alternate nobody has tried.
constexpr double kProbeWindows = 4;

}  // namespace

void RangeSharing::BeginRun(const std::vector<PlannedSegment*>& segments,
                            const std::vector<std::string>& alternates, const std::string& chosen) {
    {
        std::lock_guard<std::mutex> lock(speedLock_);
        lines_.clear();
        addresses_.clear();
        probeUnderway_ = false;
        rotation_.clear();
    }
    const auto at = std::find(alternates.begin(), alternates.end(), chosen);
    if (!timings_.shareRanges || at == alternates.end()) return;
    const std::size_t count = alternates.size();
    const std::size_t first = static_cast<std::size_t>(at - alternates.begin());
    std::vector<std::string> rotation;
    auto add = [&](const std::string& url) {
        if (SetupManifest::IsUsableAlternate(url) &&
            std::find(rotation.begin(), rotation.end(), url) == rotation.end())
            rotation.push_back(url);
    };
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t position = (first + step) % count;
        if (position != 0 || first == 0) add(alternates[position]);
    }
    add(alternates[0]);
    {
        std::lock_guard<std::mutex> lock(speedLock_);
        rotation_ = rotation;
    }
    // A failing alternate is left for the next, unless all of them fail.
    std::vector<std::string> healthy;
    for (const std::string& url : rotation)
        if (trouble_.Rank(url) == 0) healthy.push_back(url);
    if (healthy.empty()) return;
    std::size_t nth = 0;
    for (PlannedSegment* segment : segments) {
        segment->record.url = nth == 0 && trouble_.Rank(segment->record.url) == 0
                                  ? segment->record.url
                                  : healthy[nth % healthy.size()];
        ++nth;
    }
}

double RangeSharing::PaceCeiling() const {
    if (timings_.writePauseMs == 0) return std::numeric_limits<double>::infinity();
    return kPieceBytes * 1000.0 / timings_.writePauseMs;
}

bool RangeSharing::WorthARequest(std::int32_t remaining, double rate) {
    return rate <= 0 || remaining / rate >= kRequestCostSeconds;
}

bool RangeSharing::Stalled(const Line& line, Clock::time_point now) const {
    return line.active && line.reading &&
           now - line.readingSince >= 2 * std::chrono::milliseconds(timings_.lineWindowMs);
}

std::map<std::string, bool> RangeSharing::Failing() const {
    std::vector<std::string> rotation;
    {
        std::lock_guard<std::mutex> lock(speedLock_);
        rotation = rotation_;
    }
    std::map<std::string, bool> failing;
    for (const std::string& url : rotation) failing[url] = trouble_.Rank(url) > 0;
    return failing;
}

void RangeSharing::NoteWorkerStart(std::uint8_t index) {
    plan_.MarkRunning(index);
    std::lock_guard<std::mutex> lock(speedLock_);
    lines_[index].active = true;
}

void RangeSharing::NoteReadStart(std::uint8_t index) {
    std::lock_guard<std::mutex> lock(speedLock_);
    Line& line = lines_[index];
    line.reading = true;
    line.readingSince = Clock::now();
}

void RangeSharing::NoteRequest(std::uint8_t index, const std::string& url) {
    std::lock_guard<std::mutex> lock(speedLock_);
    Line& line = lines_[index];
    const Clock::time_point now = Clock::now();
    const bool probe = line.probeNext;
    // A probe that failed before it was timed looked at nothing: another
    // line may look instead.
    if (line.probing && !probe) probeUnderway_ = false;
    line = Line();
    line.url = url;
    line.active = true;
    line.probing = probe;
    // The answer's head is waited for on the line too.
    line.reading = true;
    line.readingSince = now;
    line.windowStart = now;
    addresses_[url].tried = true;
}

void RangeSharing::NoteRead(std::uint8_t index, std::int32_t count, Clock::duration lineTime) {
    std::lock_guard<std::mutex> lock(speedLock_);
    Line& line = lines_[index];
    const Clock::time_point now = Clock::now();
    line.reading = false;
    line.windowBytes += count;
    line.windowLine += lineTime;
    if (now - line.windowStart < std::chrono::milliseconds(timings_.lineWindowMs) &&
        line.windowBytes < kWindowBytes)
        return;
    const double seconds =
        std::max(std::chrono::duration<double>(line.windowLine).count(), kLeastLineSeconds);
    line.rate = static_cast<double>(line.windowBytes) / seconds;
    line.measured = true;
    line.windowStart = now;
    line.windowBytes = 0;
    line.windowLine = Clock::duration::zero();
    Address& address = addresses_[line.url];
    address.measured = true;
    address.rate = line.rate;
    ++measurements_;
}

std::string RangeSharing::GiveWayTo(std::uint8_t index, std::int32_t remaining) {
    if (!timings_.shareRanges || remaining < kMinTakeOverBytes) return std::string();
    const std::map<std::string, bool> failing = Failing();
    std::lock_guard<std::mutex> lock(speedLock_);
    Line& me = lines_[index];
    if (!me.active || !me.measured || me.rate >= PaceCeiling() ||
        !WorthARequest(remaining, me.rate))
        return std::string();
    auto isFailing = [&](const std::string& url) {
        auto found = failing.find(url);
        return found != failing.end() && found->second;
    };
    std::string faster;
    double fasterRate = 0;
    for (const auto& [url, address] : addresses_) {
        if (url == me.url || !address.measured || isFailing(url)) continue;
        if (address.rate > fasterRate) {
            faster = url;
            fasterRate = address.rate;
        }
    }
    const double factor = me.probing ? 1.0 : kSlowLineFactor;
    const bool wasProbing = me.probing;
    me.probing = false;
    if (wasProbing && probeUnderway_) probeUnderway_ = false;
    if (!faster.empty() && fasterRate > factor * me.rate) return faster;
    // An alternate nobody has tried in this run may be the fast one: the
    // slowest line goes to look, one at a time. A look risks a window at a
    // mirror that may be slower still; it pays only on a line with several
    // windows' worth of its range ahead.
    if (probeUnderway_ || remaining / me.rate < kProbeWindows * timings_.lineWindowMs / 1000.0)
        return std::string();
    for (const auto& [other, line] : lines_) {
        if (other != index && line.active && line.measured && line.rate < me.rate)
            return std::string();
    }
    for (const std::string& url : rotation_) {
        if (addresses_[url].tried || isFailing(url)) continue;
        probeUnderway_ = true;
        me.probeNext = true;
        return url;
    }
    return std::string();
}

std::string RangeSharing::FastestUnused(std::uint8_t taker,
                                        const std::map<std::string, bool>& failing) const {
    std::string fastest;
    double fastestRate = 0;
    for (const auto& [url, address] : addresses_) {
        auto found = failing.find(url);
        if (!address.measured || (found != failing.end() && found->second)) continue;
        bool used = false;
        for (const auto& [index, line] : lines_)
            used = used || (index != taker && line.active && line.url == url);
        if (!used && address.rate > fastestRate) {
            fastest = url;
            fastestRate = address.rate;
        }
    }
    return fastest;
}

bool RangeSharing::TakeOver(CThread& record) {
    if (!timings_.shareRanges) return false;
    const std::map<std::string, bool> failing = Failing();
    struct View {
        bool stalled = false;
        bool measured = false;
        double rate = 0;
        std::string url;
    };
    std::map<std::uint8_t, View> views;
    std::string address;
    {
        std::lock_guard<std::mutex> lock(speedLock_);
        const Clock::time_point now = Clock::now();
        for (const auto& [index, line] : lines_) {
            // A connection not yet timed is as fast as its mirror was.
            View view{Stalled(line, now), line.measured, line.rate, line.url};
            auto mirror = addresses_.find(line.url);
            if (!view.measured && mirror != addresses_.end() && mirror->second.measured) {
                view.measured = true;
                view.rate = mirror->second.rate;
            }
            views[index] = view;
        }
        address = FastestUnused(record.index, failing);
        // A mirror that another worker uses may still be the best place:
        // one known slower than the taker's own is not worth the move.
        auto own = addresses_.find(record.url);
        if (!address.empty() && own != addresses_.end() && own->second.measured &&
            addresses_[address].rate < own->second.rate)
            address.clear();
    }
    const double ceiling = PaceCeiling();
    auto choose = [&](const std::vector<SegmentProgress>& open, std::size_t* which,
                      std::int32_t* cut) {
        // A stalled line brings nothing until its time-out: all of its range
        // goes, however small.
        std::int32_t largestStalled = 0;
        std::int32_t largest = 0;
        std::size_t largestAt = 0;
        for (std::size_t i = 0; i < open.size(); ++i) {
            const std::int32_t length = open[i].end - open[i].next;
            const View& view = views[static_cast<std::uint8_t>(open[i].index)];
            if (view.stalled && length > largestStalled) {
                largestStalled = length;
                *which = i;
                *cut = open[i].next;
            }
            if (length > largest) {
                largest = length;
                largestAt = i;
            }
        }
        if (largestStalled > 0) return true;
        const std::int32_t half = largest / 2;
        if (half < kMinTakeOverBytes) return false;
        // A line not yet timed may be fast; one that brings its range sooner
        // than a new request would start needs no help; where the write
        // pause sets the pace, a second line would bring it no sooner.
        const View& view = views[static_cast<std::uint8_t>(open[largestAt].index)];
        if (!view.measured || view.rate >= ceiling || !WorthARequest(largest, view.rate))
            return false;
        *which = largestAt;
        *cut = open[largestAt].end - half;
        return true;
    };
    std::uint8_t from = 0;
    SegmentRange taken;
    if (!plan_.TakeOver(record.index, choose, &from, &taken)) return false;
    if (views[from].stalled) {
        // Known slow now: nobody else goes there in this run.
        std::lock_guard<std::mutex> lock(speedLock_);
        Address& stalled = addresses_[views[from].url];
        stalled.measured = true;
        stalled.rate = 0;
        if (address == views[from].url) address.clear();
    }
    record.startPos = taken.start;
    record.chunkLength = taken.length;
    record.received = 0;
    if (!address.empty()) record.url = address;
    return true;
}

SegmentRange RangeSharing::Retire(std::uint8_t index) {
    const SegmentRange left = plan_.Retire(index);
    std::lock_guard<std::mutex> lock(speedLock_);
    Line& line = lines_[index];
    line.active = false;
    if (line.probing || line.probeNext) probeUnderway_ = false;
    return left;
}

}  // namespace zel
