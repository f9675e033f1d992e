#include "ui/TGestures.h"

#include <algorithm>
#include <utility>

#include "ui/TTools.h"
#include "ui/TViewGestures.h"

namespace {

std::uint8_t ButtonBit(TMouseButton button)
{
    switch (button) {
    case TMouseButton::Left: return 1;
    case TMouseButton::Right: return 2;
    case TMouseButton::Middle: return 4;
    }
    return 0;
}

/// Runs a function when the scope ends, also when an error leaves it.
template <class F>
class TAtExit {
public:
    explicit TAtExit(F f) : f_(f) {}
    ~TAtExit() { f_(); }
    TAtExit(const TAtExit&) = delete;
    TAtExit& operator=(const TAtExit&) = delete;

private:
    F f_;
};

} // namespace

TGestures::~TGestures() = default;

void TGestures::Press(TPress press)
{
    if (press.Surface == TGestureSurface::MainView) buttons_ |= ButtonBit(press.Button);
    if (press.ForTool()) press.World = host_.PressPoint(press.X, press.Y);
    bool taken = false;
    for (auto it = active_.begin(); it != active_.end();) {
        const TPressAnswer answer = (*it)->Surface() == press.Surface ? (*it)->Press(press) : TPressAnswer::Keep;
        taken = taken || answer == TPressAnswer::Take;
        it = answer == TPressAnswer::End ? active_.erase(it) : it + 1;
    }
    if (taken) return;
    if (std::unique_ptr<TGesture> gesture = Start(press)) active_.push_back(std::move(gesture));
}

std::unique_ptr<TGesture> TGestures::Start(const TPress& press)
{
    if (press.Surface == TGestureSurface::Overview) return TOverviewGesture::Start(*this, press);
    if (press.Button == TMouseButton::Right) return TPanGesture::Start(*this, press);
    const std::span<const TTool> tools = Tools();
    if (!press.ForTool() || static_cast<std::size_t>(press.Tool) >= tools.size()) return nullptr;
    return tools[static_cast<std::size_t>(press.Tool)].Start(*this, press);
}

void TGestures::Move(TGestureSurface surface, std::int32_t x, std::int32_t y)
{
    for (auto it = active_.begin(); it != active_.end();)
        it = (*it)->Surface() == surface && !(*it)->Move(x, y) ? active_.erase(it) : it + 1;
}

void TGestures::Release(TMouseButton button, std::int32_t x, std::int32_t y)
{
    buttons_ &= static_cast<std::uint8_t>(~ButtonBit(button));
    Finish(x, y);
}

void TGestures::ReleaseOverview(std::int32_t x, std::int32_t y)
{
    std::vector<std::unique_ptr<TGesture>> ending;
    for (auto it = active_.begin(); it != active_.end();) {
        if ((*it)->Surface() != TGestureSurface::Overview) {
            ++it;
            continue;
        }
        ending.push_back(std::move(*it));
        it = active_.erase(it);
    }
    for (const auto& gesture : ending) gesture->Release(x, y);
}

void TGestures::End(std::int32_t x, std::int32_t y)
{
    Finish(x, y);
    // The button may come up in a dialog: nothing must wait for it.
    buttons_ = 0;
}

void TGestures::Finish(std::int32_t x, std::int32_t y)
{
    const std::vector<std::unique_ptr<TGesture>> ending = std::exchange(active_, {});
    TMap* const map = host_.MapById(step_);
    // The step ends on the map where it began, whichever is current now.
    const TAtExit closeStep([this, map] {
        if (!map) {
            step_ = 0;
            return;
        }
        CloseStep();
        host_.UpdateEditMenu();
    });
    if (map && map == &host_.CurrentMap()) host_.SyncMapView(*map);
    for (const auto& gesture : ending) gesture->Release(x, y);
    if (map) map->Normalize();
}

bool TGestures::Escape()
{
    const bool takeBack =
        step_ != 0 && std::any_of(active_.begin(), active_.end(), [](const auto& g) { return g->Changed(); });
    if (takeBack) {
        if (TMap* map = host_.MapById(step_)) map->CancelStep();
        step_ = 0;
    }
    for (auto it = active_.begin(); it != active_.end();) it = (*it)->Escape(takeBack) ? active_.erase(it) : it + 1;
    if (takeBack) host_.UpdateEditMenu();
    return takeBack;
}

void TGestures::Clear()
{
    active_.clear();
    buttons_ = 0;
    step_ = 0;
}

bool TGestures::DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y)
{
    return std::any_of(active_.begin(), active_.end(),
                       [&](const auto& gesture) { return gesture->DrawFrame(map, canvas, x, y); });
}

void TGestures::OpenStep(TMap& map, TStepKind kind)
{
    if (step_ == map.Id()) return; // a second gesture of the press joins the step of the first
    CloseStep();
    map.BeginStep(kind);
    step_ = map.Id();
}

void TGestures::CloseStep()
{
    if (TMap* map = host_.MapById(step_)) map->EndStep();
    step_ = 0;
}

TMap* TGestures::EditedMap() const
{
    TMap* const map = host_.MapById(step_);
    return map && map == &host_.CurrentMap() ? map : nullptr;
}
