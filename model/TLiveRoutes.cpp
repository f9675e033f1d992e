#include "model/TLiveRoutes.h"

#include <algorithm>
#include <cstddef>

namespace {

/// The indices of now of the rails that journal entries added or changed,
/// ascending, carried along by the entries that follow.
class TTouchedRails {
public:
    void Added(std::int32_t first, std::int32_t count)
    {
        const auto from = std::lower_bound(indices_.begin(), indices_.end(), first);
        for (auto k = from; k != indices_.end(); ++k) *k += count;
        Insert(first, count);
    }
    void Removed(std::int32_t first, std::int32_t count)
    {
        const auto from = std::lower_bound(indices_.begin(), indices_.end(), first);
        const auto to = std::lower_bound(from, indices_.end(), first + count);
        for (auto k = to; k != indices_.end(); ++k) *k -= count;
        indices_.erase(from, to);
    }
    void Insert(std::int32_t first, std::int32_t count)
    {
        const auto from = std::lower_bound(indices_.begin(), indices_.end(), first);
        const auto to = std::lower_bound(from, indices_.end(), first + count);
        const auto at = indices_.erase(from, to) - indices_.begin();
        std::vector<std::int32_t> range(static_cast<std::size_t>(count));
        for (std::int32_t k = 0; k < count; ++k) range[static_cast<std::size_t>(k)] = first + k;
        indices_.insert(indices_.begin() + at, range.begin(), range.end());
    }
    const std::vector<std::int32_t>& Indices() const { return indices_; }

private:
    std::vector<std::int32_t> indices_;
};

bool InsideWorld(TPoint p) { return p.x >= 0 && p.x <= WorldSize && p.y >= 0 && p.y <= WorldSize; }

/// A point of the world as one number, x major: below 2^27.
std::uint32_t PointKey(std::int32_t x, std::int32_t y)
{
    return static_cast<std::uint32_t>(x) * static_cast<std::uint32_t>(WorldSize + 1) + static_cast<std::uint32_t>(y);
}

/// Whether the route check joins rail to next: next starts where rail ends
/// (the caller knows it does) and heads within a right angle of it.
bool Heads(const TRail& rail, const TRail& next)
{
    const std::int64_t dot = std::int64_t{rail.X2 - rail.X1} * (next.X2 - next.X1) +
                             std::int64_t{rail.Y2 - rail.Y1} * (next.Y2 - next.Y1);
    return dot > 0;
}

} // namespace

std::string_view LiveFaultWords(TLiveFaultKind kind)
{
    switch (kind) {
    case TLiveFaultKind::ThirdSuccessor: return "третий следующий";
    case TLiveFaultKind::ThirdPredecessor: return "третий предыдущий";
    case TLiveFaultKind::NoSuccessor: return "нет следующего";
    case TLiveFaultKind::NoPredecessor: return "нет предыдущего";
    case TLiveFaultKind::NoStart: return "нет стартового рельса";
    case TLiveFaultKind::NoFinish: return "нет финишного рельса";
    case TLiveFaultKind::Doomed: return "нулевой длины или вне карты";
    case TLiveFaultKind::Unreachable: return "не достижим от старта";
    case TLiveFaultKind::FinishUnreachable: return "финиш не достижим от старта";
    }
    return {};
}

void TLiveRoutes::Account(const TRailState& s, std::int64_t sign)
{
    if (s.Flags & Fresh) return;
    counts_[static_cast<int>(TLiveFaultKind::ThirdSuccessor)] += sign * s.ExtraSuccessors;
    counts_[static_cast<int>(TLiveFaultKind::ThirdPredecessor)] += sign * s.ThirdPredecessors;
    if (s.Flags & NoSuccessor) counts_[static_cast<int>(TLiveFaultKind::NoSuccessor)] += sign;
    if (s.Flags & NoPredecessor) counts_[static_cast<int>(TLiveFaultKind::NoPredecessor)] += sign;
    if (s.Flags & Doomed) counts_[static_cast<int>(TLiveFaultKind::Doomed)] += sign;
}

void TLiveRoutes::TStates::Reset(std::size_t n)
{
    blocks_.resize((n + Block() - 1) / Block());
    for (std::size_t b = 0; b < blocks_.size(); ++b)
        blocks_[b].assign(std::min(Block(), n - b * Block()), TRailState{});
    uniform_ = true;
    Renumber();
}

std::size_t TLiveRoutes::TStates::BlockOf(std::size_t k) const
{
    if (uniform_) return k >> BlockShift;
    if (cached_ + 1 < firsts_.size() && firsts_[cached_] <= k && k < firsts_[cached_ + 1]) return cached_;
    cached_ = static_cast<std::size_t>(std::upper_bound(firsts_.begin(), firsts_.end() - 1, k) - firsts_.begin()) - 1;
    return cached_;
}

void TLiveRoutes::TStates::Renumber()
{
    firsts_.resize(blocks_.size() + 1);
    std::size_t first = 0;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        firsts_[b] = first;
        first += blocks_[b].size();
    }
    firsts_.back() = first;
    cached_ = 0;
}

void TLiveRoutes::TStates::Split(std::size_t b, std::size_t limit)
{
    if (blocks_[b].size() <= limit) return;
    std::vector<TRailState> whole = std::move(blocks_[b]);
    std::vector<std::vector<TRailState>> pieces;
    for (std::size_t from = 0; from < whole.size(); from += Block()) {
        const std::size_t to = std::min(whole.size(), from + Block());
        pieces.emplace_back(whole.begin() + static_cast<std::ptrdiff_t>(from),
                            whole.begin() + static_cast<std::ptrdiff_t>(to));
    }
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b), std::make_move_iterator(pieces.begin()),
                   std::make_move_iterator(pieces.end()));
    Renumber();
}

void TLiveRoutes::TStates::Insert(std::size_t at, std::size_t count, const TRailState& value)
{
    if (count == 0) return;
    const std::size_t size = Size();
    if (blocks_.empty()) {
        blocks_.emplace_back();
        Renumber();
    }
    // Added at the end, the blocks stay full; else the one block grows.
    const bool atEnd = at == size;
    const std::size_t b = atEnd ? blocks_.size() - 1 : BlockOf(at);
    std::vector<TRailState>& block = blocks_[b];
    block.insert(block.begin() + static_cast<std::ptrdiff_t>(at - firsts_[b]), count, value);
    for (std::size_t c = b + 1; c < firsts_.size(); ++c) firsts_[c] += count;
    if (!atEnd) uniform_ = false;
    Split(b, atEnd ? Block() : 2 * Block());
}

void TLiveRoutes::TStates::Erase(std::size_t at, std::size_t count)
{
    if (count == 0) return;
    // Cutting the tail leaves the blocks before it full; but while blocks
    // are being cut, an index no longer finds its block by a shift.
    const bool stays = uniform_ && at + count == Size();
    uniform_ = false;
    std::size_t left = count;
    while (left > 0) {
        const std::size_t b = BlockOf(at);
        std::vector<TRailState>& block = blocks_[b];
        const std::size_t from = at - firsts_[b];
        const std::size_t taken = std::min(left, block.size() - from);
        block.erase(block.begin() + static_cast<std::ptrdiff_t>(from),
                    block.begin() + static_cast<std::ptrdiff_t>(from + taken));
        for (std::size_t c = b + 1; c < firsts_.size(); ++c) firsts_[c] -= taken;
        left -= taken;
    }
    const auto empty = [](const std::vector<TRailState>& block) { return block.empty(); };
    if (std::any_of(blocks_.begin(), blocks_.end(), empty)) {
        blocks_.erase(std::remove_if(blocks_.begin(), blocks_.end(), empty), blocks_.end());
        Renumber();
    }
    uniform_ = stays;
}

bool TLiveRoutes::StartValid() const
{
    return start_ >= 0 && static_cast<std::size_t>(start_) < states_.Size() &&
           !(states_[static_cast<std::size_t>(start_)].Flags & Doomed);
}

bool TLiveRoutes::FinishValid() const
{
    return finish_ >= 0 && static_cast<std::size_t>(finish_) < states_.Size() &&
           !(states_[static_cast<std::size_t>(finish_)].Flags & Doomed);
}

TPoint TLiveRoutes::Midpoint(const TRailState& s)
{
    return {static_cast<std::int32_t>((std::int64_t{s.X1} + s.X2) / 2),
            static_cast<std::int32_t>((std::int64_t{s.Y1} + s.Y2) / 2)};
}

std::int32_t TLiveRoutes::NewId()
{
    if (!freeIds_.empty()) {
        const std::int32_t id = freeIds_.back();
        freeIds_.pop_back();
        return id;
    }
    links_.push_back({});
    return static_cast<std::int32_t>(links_.size() - 1);
}

void TLiveRoutes::ExaminePoint(const std::vector<TRail>& rails, const TPointRails& at)
{
    // The route check visits the rails in ascending index, and each joins
    // the first two rails it finds heading on: a rail starting here gets a
    // third predecessor from the third rail to join it, twice when it was
    // that rail's first successor (both of its slots are tried).
    const std::vector<std::int32_t>& starting = at.Starting;
    std::vector<std::int32_t>& joined = joined_;
    std::vector<std::int32_t>& thirds = thirds_;
    joined.assign(starting.size(), 0);
    thirds.assign(starting.size(), 0);
    const auto idOf = [this](std::int32_t rail) { return states_[static_cast<std::size_t>(rail)].Id; };
    for (const std::int32_t p : at.Ending) {
        const TRail& rail = rails[static_cast<std::size_t>(p)];
        std::int32_t found = 0;
        std::size_t first = 0, second = 0;
        for (std::size_t pos = 0; pos < starting.size(); ++pos) {
            if (!Heads(rail, rails[static_cast<std::size_t>(starting[pos])])) continue;
            if (found == 0) first = pos;
            if (found == 1) second = pos;
            ++found;
        }
        TRailState& s = states_[static_cast<std::size_t>(p)];
        Account(s, -1);
        s.ExtraSuccessors = found > 2 ? found - 2 : 0;
        s.Flags = static_cast<std::uint8_t>((s.Flags & ~NoSuccessor) | (found == 0 ? NoSuccessor : 0));
        Account(s, 1);
        links_[static_cast<std::size_t>(s.Id)] = {found > 0 ? idOf(starting[first]) : -1,
                                                  found > 1 ? idOf(starting[second]) : -1};
        if (found > 0 && ++joined[first] > 2) thirds[first] += 2;
        if (found > 1 && ++joined[second] > 2) thirds[second] += 1;
    }
    for (std::size_t pos = 0; pos < starting.size(); ++pos) {
        TRailState& s = states_[static_cast<std::size_t>(starting[pos])];
        Account(s, -1);
        s.ThirdPredecessors = thirds[pos];
        s.Flags = static_cast<std::uint8_t>((s.Flags & ~NoPredecessor) | (joined[pos] == 0 ? NoPredecessor : 0));
        Account(s, 1);
    }
}

void TLiveRoutes::RailsAt(const TMap& map, TPoint p, TPointRails& at)
{
    at.Ending.clear();
    at.Starting.clear();
    const std::vector<TRail>& rails = map.Rails();
    const auto take = [&](std::int32_t k) {
        const TRail& r = rails[static_cast<std::size_t>(k)];
        const bool starts = r.X1 == p.x && r.Y1 == p.y;
        const bool ends = r.X2 == p.x && r.Y2 == p.y;
        if ((!starts && !ends) || (states_[static_cast<std::size_t>(k)].Flags & Doomed)) return;
        if (starts) at.Starting.push_back(k);
        if (ends) at.Ending.push_back(k);
    };
    if (map.BorderCount() + map.RailCount() >= TMap::IndexFrom) {
        map.RailEndsNear(p.x, p.y, p.x, p.y, near_);
        for (const std::int32_t k : near_) take(k);
        return;
    }
    for (std::int32_t k = 0; k < map.RailCount(); ++k) take(k);
}

void TLiveRoutes::ExamineAll(const TMap& map)
{
    mapId_ = 0; // stays so if the examination fails part-way
    const std::vector<TRail>& rails = map.Rails();
    const std::size_t n = rails.size();
    states_.Reset(n);
    links_.assign(n, TLinks{});
    freeIds_.clear();
    std::fill(std::begin(counts_), std::end(counts_), 0);
    // Each kept rail's two ends as (point, rail * 2 + starts), in rail order;
    // a stable sort by point then gives every point's rails ascending. The
    // arrays keep their memory from one examination to the next: fresh pages
    // cost more than the sort.
    std::vector<TEnd>& ends = ends_;
    ends.clear();
    ends.reserve(2 * n);
    for (std::size_t k = 0; k < n; ++k) {
        const TRail& r = rails[k];
        TRailState& s = states_[k];
        s.X1 = r.X1;
        s.Y1 = r.Y1;
        s.X2 = r.X2;
        s.Y2 = r.Y2;
        s.Id = static_cast<std::int32_t>(k);
        if (DoomedRail(r)) {
            s.Flags = Doomed;
            Account(s, 1);
            continue;
        }
        const auto railEnd = static_cast<std::uint32_t>(k) * 2;
        ends.push_back({PointKey(r.X1, r.Y1), railEnd + 1});
        ends.push_back({PointKey(r.X2, r.Y2), railEnd});
    }
    // Two counting passes of 14 bits cover the 27 bits of a point; a small
    // map is sorted for less than their tables cost.
    std::vector<TEnd>& sorted = sorted_;
    sorted.resize(ends.size() < 4096 ? 0 : ends.size());
    if (ends.size() < 4096)
        std::stable_sort(ends.begin(), ends.end(), [](const TEnd& a, const TEnd& b) { return a.Point < b.Point; });
    else
        for (const int shift : {0, 14}) {
            std::vector<std::uint32_t> starts((1u << 14) + 1, 0);
            for (const TEnd& e : ends) ++starts[((e.Point >> shift) & 0x3FFF) + 1];
            for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
            for (const TEnd& e : ends) sorted[starts[(e.Point >> shift) & 0x3FFF]++] = e;
            ends.swap(sorted);
        }
    for (std::size_t from = 0; from < ends.size();) {
        std::size_t to = from;
        at_.Ending.clear();
        at_.Starting.clear();
        for (; to < ends.size() && ends[to].Point == ends[from].Point; ++to) {
            const auto rail = static_cast<std::int32_t>(ends[to].RailEnd >> 1);
            (ends[to].RailEnd & 1 ? at_.Starting : at_.Ending).push_back(rail);
        }
        ExaminePoint(rails, at_);
        from = to;
    }
    mapId_ = map.Id();
    revision_ = map.Revision();
    start_ = map.StartRail;
    finish_ = map.FinishRail;
    ++changes_;
    ++fullExaminations_;
}

void TLiveRoutes::Follow(const TMap& map)
{
    // Out of memory part-way, the state matches no revision: the next call
    // examines everything.
    try {
        FollowEdits(map);
    } catch (...) {
        mapId_ = 0;
        throw;
    }
}

void TLiveRoutes::FollowEdits(const TMap& map)
{
    if (map.Id() != mapId_) {
        ExamineAll(map);
        return;
    }
    if (map.StartRail != start_ || map.FinishRail != finish_) {
        start_ = map.StartRail;
        finish_ = map.FinishRail;
        ++changes_;
    }
    if (map.Revision() == revision_) return;

    // The points whose rails may join otherwise now: where the rails the
    // edits touched ended at the last examination, and where they end now.
    std::vector<TPoint> points;
    TTouchedRails touched;
    const auto oldEnds = [&points](const TRailState& s) {
        if (s.Flags & Fresh) return;
        points.push_back({s.X1, s.Y1});
        points.push_back({s.X2, s.Y2});
    };
    const bool followed = map.EditsSince(revision_, [&](const TElementChange& change) {
        // A selection flag changes no joining.
        if (!change.IsRail || change.Kind == TEditKind::Flagged) return;
        const auto first = static_cast<std::size_t>(change.First);
        const auto count = static_cast<std::size_t>(change.Count);
        switch (change.Kind) {
        case TEditKind::Added: {
            TRailState fresh;
            fresh.Flags = Fresh;
            states_.Insert(first, count, fresh);
            touched.Added(change.First, change.Count);
            break;
        }
        case TEditKind::Removed:
            // A link into the rails removed is made again where they were:
            // their first end is among the points.
            for (std::size_t k = first; k < first + count; ++k) {
                const TRailState& s = states_[k];
                oldEnds(s);
                Account(s, -1);
                if (!(s.Flags & Fresh)) {
                    links_[static_cast<std::size_t>(s.Id)] = {};
                    freeIds_.push_back(s.Id);
                }
            }
            states_.Erase(first, count);
            touched.Removed(change.First, change.Count);
            break;
        case TEditKind::Changed: touched.Insert(change.First, change.Count); break;
        case TEditKind::Flagged: break;
        }
        ++changes_;
    });
    if (!followed) {
        ExamineAll(map);
        return;
    }
    const std::vector<TRail>& rails = map.Rails();
    for (const std::int32_t k : touched.Indices()) {
        TRailState& s = states_[static_cast<std::size_t>(k)];
        const TRail& r = rails[static_cast<std::size_t>(k)];
        // A flag, a colour or a link changes no joining.
        if (!(s.Flags & Fresh) && s.X1 == r.X1 && s.Y1 == r.Y1 && s.X2 == r.X2 && s.Y2 == r.Y2) continue;
        oldEnds(s);
        Account(s, -1);
        const std::int32_t id = s.Flags & Fresh ? NewId() : s.Id;
        s = TRailState{r.X1, r.Y1, r.X2, r.Y2, id};
        links_[static_cast<std::size_t>(id)] = {};
        if (DoomedRail(r))
            s.Flags = Doomed;
        else
            oldEnds(s);
        Account(s, 1);
    }
    std::sort(points.begin(), points.end(),
              [](TPoint a, TPoint b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    points.erase(std::unique(points.begin(), points.end()), points.end());
    for (const TPoint p : points) {
        if (!InsideWorld(p)) continue; // no rail the route check keeps ends there
        RailsAt(map, p, at_);
        ExaminePoint(rails, at_);
    }
    revision_ = map.Revision();
}

std::int64_t TLiveRoutes::FaultCount() const
{
    std::int64_t total = 0;
    for (const std::int64_t c : counts_) total += c;
    return total + (StartValid() ? 0 : 1) + (FinishValid() ? 0 : 1);
}

std::int64_t TLiveRoutes::CountOf(TLiveFaultKind kind)
{
    switch (kind) {
    case TLiveFaultKind::NoStart: return StartValid() ? 0 : 1;
    case TLiveFaultKind::NoFinish: return FinishValid() ? 0 : 1;
    case TLiveFaultKind::Unreachable: Reach(); return unreachable_;
    case TLiveFaultKind::FinishUnreachable: Reach(); return finishUnreachable_ ? 1 : 0;
    default: return counts_[static_cast<int>(kind)];
    }
}

std::int64_t TLiveRoutes::WarningCount()
{
    Reach();
    return unreachable_ + (finishUnreachable_ ? 1 : 0);
}

std::vector<TLiveFault> TLiveRoutes::FaultsOf(std::int32_t rail) const
{
    std::vector<TLiveFault> faults;
    if (rail < 0 || static_cast<std::size_t>(rail) >= states_.Size()) return faults;
    const TRailState& s = states_[static_cast<std::size_t>(rail)];
    if (s.Flags & Doomed) return {{rail, TLiveFaultKind::Doomed, 1}};
    if (s.ExtraSuccessors > 0) faults.push_back({rail, TLiveFaultKind::ThirdSuccessor, s.ExtraSuccessors});
    if (s.ThirdPredecessors > 0) faults.push_back({rail, TLiveFaultKind::ThirdPredecessor, s.ThirdPredecessors});
    if (s.Flags & NoSuccessor) faults.push_back({rail, TLiveFaultKind::NoSuccessor, 1});
    if (s.Flags & NoPredecessor) faults.push_back({rail, TLiveFaultKind::NoPredecessor, 1});
    return faults;
}

void TLiveRoutes::Reach()
{
    if (reachChanges_ == changes_) return;
    unreachable_ = 0;
    finishUnreachable_ = false;
    if (!StartValid()) {
        // Without a start the missing start is the fault, not every rail.
        reached_.assign(links_.size(), 1);
        reachChanges_ = changes_;
        return;
    }
    // By Id, along the links: the walk never looks up an index.
    reached_.assign(links_.size(), 0);
    std::vector<std::int32_t> queue;
    const std::int32_t startId = states_[static_cast<std::size_t>(start_)].Id;
    queue.push_back(startId);
    reached_[static_cast<std::size_t>(startId)] = 1;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const TLinks& links = links_[static_cast<std::size_t>(queue[head])];
        for (const std::int32_t next : {links.Next1, links.Next2})
            if (next >= 0 && !reached_[static_cast<std::size_t>(next)]) {
                reached_[static_cast<std::size_t>(next)] = 1;
                queue.push_back(next);
            }
    }
    const std::int64_t doomed = counts_[static_cast<int>(TLiveFaultKind::Doomed)];
    unreachable_ = static_cast<std::int64_t>(states_.Size()) - static_cast<std::int64_t>(queue.size()) - doomed;
    finishUnreachable_ =
        FinishValid() && !reached_[static_cast<std::size_t>(states_[static_cast<std::size_t>(finish_)].Id)];
    reachChanges_ = changes_;
}

bool TLiveRoutes::Reachable(std::int32_t rail)
{
    Reach();
    return rail >= 0 && static_cast<std::size_t>(rail) < states_.Size() &&
           reached_[static_cast<std::size_t>(states_[static_cast<std::size_t>(rail)].Id)];
}

void TLiveRoutes::MarksIn(const TMap& map, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                          bool warnings, std::vector<TLiveMark>& out)
{
    out.clear();
    if (warnings) Reach();
    const auto inside = [&](TPoint p) { return p.x >= x1 && p.x <= x2 && p.y >= y1 && p.y <= y2; };
    const auto visit = [&](std::int32_t k) {
        const TRailState& s = states_[static_cast<std::size_t>(k)];
        const bool unreached = warnings && !(s.Flags & Doomed) && !reached_[static_cast<std::size_t>(s.Id)];
        if (!unreached && !s.Flags && !s.ExtraSuccessors && !s.ThirdPredecessors) return;
        const TPoint first{s.X1, s.Y1}, second{s.X2, s.Y2}, middle = Midpoint(s);
        const auto mark = [&](bool has, TLiveFaultKind kind, TPoint at) {
            if (has && inside(at)) out.push_back({k, kind, at});
        };
        mark(s.ExtraSuccessors > 0, TLiveFaultKind::ThirdSuccessor, second);
        mark(s.ThirdPredecessors > 0, TLiveFaultKind::ThirdPredecessor, first);
        mark(s.Flags & NoSuccessor, TLiveFaultKind::NoSuccessor, second);
        mark(s.Flags & NoPredecessor, TLiveFaultKind::NoPredecessor, first);
        mark(s.Flags & Doomed, TLiveFaultKind::Doomed, middle);
        mark(unreached, TLiveFaultKind::Unreachable, middle);
        mark(unreached && finishUnreachable_ && k == finish_, TLiveFaultKind::FinishUnreachable, middle);
    };
    if (map.BorderCount() + map.RailCount() >= TMap::IndexFrom) {
        map.RailsNear(x1, y1, x2, y2, near_);
        for (const std::int32_t k : near_) visit(k);
        return;
    }
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(states_.Size()); ++k) visit(k);
}
