#include "render3d/SE_3DModel.h"

#include <cmath>

namespace {

struct TTrigTables {
  std::array<int32_t, kFullTurn> Sin{}, Cos{};
  TTrigTables() {
    constexpr long double kRadiansPerStep = 3.14159265358979323846264338327950288L / 18000;
    for (int32_t i = 0; i < kFullTurn; ++i) {
      Sin[i] = static_cast<int32_t>(std::nearbyint(std::sin(i * kRadiansPerStep) * 1024));
      Cos[i] = static_cast<int32_t>(std::nearbyint(std::cos(i * kRadiansPerStep) * 1024));
    }
  }
};

const TTrigTables& TrigTables() {
  static const TTrigTables tables;
  return tables;
}

}  // namespace

const std::array<int32_t, kFullTurn>& SinTable() { return TrigTables().Sin; }
const std::array<int32_t, kFullTurn>& CosTable() { return TrigTables().Cos; }

int32_t NormalizeAngle(int64_t angle) {
  const int64_t turned = angle % kFullTurn;
  return static_cast<int32_t>(turned < 0 ? turned + kFullTurn : turned);
}
