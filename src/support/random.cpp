#include "support/random.h"

#include <array>
#include <random>

namespace {

std::mt19937 generator;

// A seed sequence that writes a fixed state instead of mixing the seed, so that std::mt19937
// starts from exactly the words the intro wants.
class FixedState {
 public:
  using result_type = uint32_t;
  explicit FixedState(uint32_t seed) {
    state_[0] = seed;
    for (size_t i = 1; i < state_.size(); ++i) state_[i] = state_[i - 1] * 1664525u + 1013904223u;
  }
  template <typename It>
  void generate(It first, It last) const {
    for (size_t i = 0; first != last; ++first, ++i) *first = state_[i % state_.size()];
  }

 private:
  std::array<uint32_t, std::mt19937::state_size> state_{};
};

}  // namespace

void seed_random(uint32_t seed) {
  FixedState state(seed);
  generator.seed(state);
}

uint32_t random_word() {
  return static_cast<uint32_t>(generator());
}

double random_unit() {
  return static_cast<double>(random_word()) * (1.0 / 4294967296.0);
}
