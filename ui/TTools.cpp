#include "ui/TTools.h"

#include "ui/TArcDialog.h"
#include "ui/TArcGesture.h"
#include "ui/TDrawGesture.h"
#include "ui/TSelectGesture.h"

namespace {

template <std::uint8_t Kind>
std::unique_ptr<TGesture> StartBorder(TGestures& gestures, const TPress& press)
{
    return TDrawGesture::Border(gestures, press, Kind);
}

/// With Ctrl near a rail's second end an arc continues it; else a plain rail.
std::unique_ptr<TGesture> StartRail(TGestures& gestures, const TPress& press)
{
    if (press.Ctrl)
        if (std::unique_ptr<TGesture> arc = TArcGesture::Start(gestures, press, ReadArcValues().Piece)) return arc;
    return TDrawGesture::Rail(gestures, press);
}

} // namespace

std::span<const TTool> Tools()
{
    static const TTool tools[] = {
        {"Линия (плоская) (&&&й)", &StartBorder<bkFlat>},
        {"Линия (стенка) (&&&ц)", &StartBorder<bkWall>},
        {"Линия (выс. ст.) (&&&у)", &StartBorder<bkHighWall>},
        {"Линия (арка) (&&&к)", &StartBorder<bkArch>},
        {"Рельс (&&&е)", &StartRail},
        {"Выделить... (&&&н)", &TSelectGesture::Start},
    };
    return tools;
}
