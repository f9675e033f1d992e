#pragma once
// The route check's faults in words: the lines of the fault list, the notice
// after a check, and the window that lists the current map's faults.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/TMap.h"

class QLabel;
class TLiveRoutes;
class QListWidget;

/// What a fault of kind says about its rail, in lower case: "нет следующего".
QString RouteFaultWords(TRouteFaultKind kind);
/// One fault as a line: "Рельс 12: нет следующего" for a rail (numbered by its
/// index in the map's rails, as the map file and kestmap number them), or the
/// words alone, capitalised, for a fault of the whole map: "Нет стартового рельса".
QString RouteFaultLine(const TRouteFault& fault);
/// The notice after a check: "Пути в порядке" when there is no fault; else the
/// reported rail's line, or when no rail is reported the faults of the whole
/// map; "(всего ошибок: N)" follows when the check found more than the notice
/// names, N counting every fault, listed or not.
QString RouteNoticeText(std::int32_t faultRail, const std::optional<TRouteFaultList>& faults);

/// A tool window beside the editor listing the faults of the current map's
/// last route check, in the order the check found them: those the map lists,
/// then "и ещё N" for the rest. A passed check shows the one line "Пути в
/// порядке"; a map never checked (or loaded since) shows an empty list.
class TRouteFaultsWindow : public QWidget {
public:
    /// A line naming a rail was clicked (or activated with Enter): the map it
    /// belongs to and the rail's RouteId, which finds the rail the check
    /// named wherever edits have moved it since.
    using TRailHandler = std::function<void(std::uint64_t map, std::uint32_t rail)>;

    explicit TRouteFaultsWindow(QWidget* parent);

    /// The caption above the list: the map's name and how its check went.
    QLabel* Label1;
    QListWidget* ListBox1;
    TRailHandler OnRailClick;
    /// A line of the live list was clicked: the map and the rail's index of now.
    using TLiveRailHandler = std::function<void(std::uint64_t map, std::int32_t rail)>;
    TLiveRailHandler OnLiveRailClick;

    /// Shows map's last check; does nothing when the list already shows it
    /// (same map, same check, same name), so a timer may call it freely.
    void ShowFaults(const TMap& map);
    /// Shows what the live check, brought up to map, knows of it: its faults,
    /// then its warnings, the caption giving both counts; does nothing when the
    /// list already shows them. Lines name rails by their index of now.
    void ShowLive(const TMap& map, TLiveRoutes& live);
    /// The lines as shown.
    QStringList Lines() const;
    /// The rail that line names, by its index at the check, or -1 (a fault
    /// of the whole map, the line of the faults not listed, no such line).
    std::int32_t RailOfLine(int line) const;
    /// The id of the map whose faults are shown; 0 before the first.
    std::uint64_t ShownMap() const { return shown_ ? shown_->Map : 0; }

private:
    void LineClicked(int line);

    struct TShown {
        std::uint64_t Map;
        std::uint64_t Revision;
        std::string Name;
        bool Live = false;
        std::int32_t Start = -1, Finish = -1;
        friend bool operator==(const TShown&, const TShown&) = default;
    };
    /// The RouteId the shown check gave rail 0 (TRouteFaultList::FirstRailId).
    std::uint32_t firstRailId_ = 0;
    /// The rail each line names, by its index at the check; lines past the
    /// end (the sound map's, "и ещё N") name none.
    std::vector<std::int32_t> lineRails_;
    std::optional<TShown> shown_;
};
