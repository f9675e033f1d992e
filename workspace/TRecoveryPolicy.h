#pragma once
// When an open map's recovery copy is taken and when it is removed. The
// policy only decides; the caller takes, writes and removes the copies and
// passes in the clock, so that the rules can be followed in fake time.
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class TMapList;

/// Milliseconds on a clock that never goes back.
using TRecoveryClock = std::function<std::int64_t()>;

/// What the policy needs to know of one open map.
struct TRecoveryMapState {
    /// Stays the map's own while it is open (TMap::Id).
    std::uint64_t Key = 0;
    /// Grows with every change (TMap::Revision).
    std::uint64_t Revision = 0;
    /// The map holds changes its file does not (TMap::Modified).
    bool Modified = false;
};

/// The states of the maps of list, in its order.
std::vector<TRecoveryMapState> RecoveryStates(const TMapList& list);

/// What to do now: maps whose copy is to be taken (or taken again) and maps
/// whose copy is to be removed, by key.
struct TRecoveryActions {
    std::vector<std::uint64_t> Take;
    std::vector<std::uint64_t> Remove;
};

class TRecoveryPolicy {
public:
    /// A copy waits until a map has had no further change for this long...
    static constexpr std::int64_t QuietMs = 5000;
    /// ...but no longer than this after the first change it does not yet hold.
    static constexpr std::int64_t LongestMs = 30000;

    explicit TRecoveryPolicy(TRecoveryClock clock);

    /// Looks at the open maps (called often, say once a second): a modified
    /// map whose newest change is QuietMs old, or whose oldest change not yet
    /// copied is LongestMs old, gets a copy taken; a map that is no longer
    /// modified (saved, or undone back to its saved state) or no longer open
    /// has its copy removed. A change is seen when a call first finds it, so
    /// the times count from that call.
    TRecoveryActions Tick(const std::vector<TRecoveryMapState>& maps);
    /// The map key already has a copy of its revision (a copy given back at
    /// start): nothing is taken until it changes.
    void Adopt(std::uint64_t key, std::uint64_t revision);
    /// A normal exit: every copy is to be removed, and none is known afterwards.
    std::vector<std::uint64_t> Exit();
    /// True when the map key has a copy that has not been removed.
    bool HasCopy(std::uint64_t key) const;

private:
    struct TTracked {
        bool HasCopy = false;
        /// The revision the copy holds (meaningful with HasCopy).
        std::uint64_t Copied = 0;
        /// The revision last seen, and when it was first seen.
        std::uint64_t Seen = 0;
        std::int64_t SeenAt = 0;
        /// When the first change not held by the copy was seen, while one is pending.
        bool Pending = false;
        std::int64_t PendingSince = 0;
    };

    TRecoveryClock clock_;
    std::map<std::uint64_t, TTracked> tracked_;
};
