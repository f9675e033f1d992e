#include "ui/TTools.h"

#include "ui/TDrawGesture.h"
#include "ui/TSelectGesture.h"

namespace {

template <std::uint8_t Kind>
std::unique_ptr<TGesture> StartBorder(TGestures& gestures, const TPress& press)
{
    return TDrawGesture::Border(gestures, press, Kind);
}

} // namespace

std::span<const TTool> Tools()
{
    static const TTool tools[] = {
        {"Линия (плоская) (&&&й)", &StartBorder<bkFlat>},
        {"Линия (стенка) (&&&ц)", &StartBorder<bkWall>},
        {"Линия (выс. ст.) (&&&у)", &StartBorder<bkHighWall>},
        {"Линия (арка) (&&&к)", &StartBorder<bkArch>},
        {"Рельс (&&&е)", &TDrawGesture::Rail},
        {"Выделить... (&&&н)", &TSelectGesture::Start},
    };
    return tools;
}
