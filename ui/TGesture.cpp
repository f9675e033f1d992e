#include "ui/TGesture.h"

TPressAnswer TGesture::Press(const TPress&) { return TPressAnswer::Keep; }

bool TGesture::Move(std::int32_t, std::int32_t) { return true; }

void TGesture::Release(std::int32_t, std::int32_t) {}

bool TGesture::Escape(bool) { return false; }

bool TGesture::DrawFrame(TMap&, TCanvas&, std::int32_t, std::int32_t) { return false; }
