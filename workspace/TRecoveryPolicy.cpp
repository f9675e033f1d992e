#include "workspace/TRecoveryPolicy.h"

#include <set>
#include <utility>

#include "workspace/TMapList.h"

std::vector<TRecoveryMapState> RecoveryStates(const TMapList& list)
{
    std::vector<TRecoveryMapState> states;
    states.reserve(list.Maps.size());
    for (const auto& map : list.Maps)
        if (map) states.push_back({map->Id(), map->Revision(), map->Modified});
    return states;
}

TRecoveryPolicy::TRecoveryPolicy(TRecoveryClock clock) : clock_(std::move(clock)) {}

TRecoveryActions TRecoveryPolicy::Tick(const std::vector<TRecoveryMapState>& maps)
{
    const std::int64_t now = clock_();
    TRecoveryActions actions;
    std::set<std::uint64_t> open;
    for (const TRecoveryMapState& state : maps) {
        open.insert(state.Key);
        const auto found = tracked_.find(state.Key);
        if (!state.Modified) {
            // Nothing unsaved: whatever copy there is would only offer old changes back.
            if (found != tracked_.end()) {
                if (found->second.HasCopy) actions.Remove.push_back(state.Key);
                tracked_.erase(found);
            }
            continue;
        }
        TTracked& t = found != tracked_.end() ? found->second : tracked_[state.Key];
        const bool fresh = found == tracked_.end();
        if (fresh || state.Revision != t.Seen) {
            t.Seen = state.Revision;
            t.SeenAt = now;
        }
        const bool held = t.HasCopy && t.Copied == state.Revision;
        if (held) {
            t.Pending = false;
            continue;
        }
        if (!t.Pending) {
            t.Pending = true;
            t.PendingSince = now;
        }
        if (now - t.SeenAt >= QuietMs || now - t.PendingSince >= LongestMs) {
            actions.Take.push_back(state.Key);
            t.HasCopy = true;
            t.Copied = state.Revision;
            t.Pending = false;
        }
    }
    for (auto it = tracked_.begin(); it != tracked_.end();) {
        if (open.count(it->first) != 0) {
            ++it;
            continue;
        }
        // Closed, whatever the answer about its changes: the user chose.
        if (it->second.HasCopy) actions.Remove.push_back(it->first);
        it = tracked_.erase(it);
    }
    return actions;
}

void TRecoveryPolicy::Adopt(std::uint64_t key, std::uint64_t revision)
{
    TTracked& t = tracked_[key];
    t = TTracked{};
    t.HasCopy = true;
    t.Copied = revision;
    t.Seen = revision;
    t.SeenAt = clock_();
}

std::vector<std::uint64_t> TRecoveryPolicy::Exit()
{
    std::vector<std::uint64_t> keys;
    for (const auto& [key, t] : tracked_)
        if (t.HasCopy) keys.push_back(key);
    tracked_.clear();
    return keys;
}

bool TRecoveryPolicy::HasCopy(std::uint64_t key) const
{
    const auto found = tracked_.find(key);
    return found != tracked_.end() && found->second.HasCopy;
}
