// Glimp: walking in, working at a computer, walking out, dying, lying loose.
#include "field/glimp.h"

namespace {
int glimp_w = 0, glimp_h = 0;
Image *left[4], *right[4], *dying[5], *at_computer[13];
} // namespace

void Glimp::load_images() {}
int Glimp::width() { return glimp_w; }
int Glimp::height() { return glimp_h; }
Image *const *Glimp::left_frames() { return left; }
Image *const *Glimp::right_frames() { return right; }
Image *const *Glimp::dying_frames() { return dying; }
Image *const *Glimp::at_computer_frames() { return at_computer; }
Glimp *Glimp::enter() { return nullptr; }
void Glimp::update(Glimp *) {}
void Glimp::draw(Glimp *) {}
void Glimp::set_dying(Glimp *) {}
int Glimp::hit(const Glimp *, int, int) { return 0; }
int Glimp::hit_loose(const Glimp *, int, int) { return 0; }
void Glimp::set_size_for_tests(int w, int h)
{
    glimp_w = w;
    glimp_h = h;
}
