#include "pilots.h"

#include <cassert>
#include <cmath>

#include "firefly.h"
#include "tools.h"

namespace {

// Half of one turn step: nearer the heading than this, another turn would
// only swing the heading past the target.
constexpr double kHalfTurn = kTurnStep / 2.0;

} // namespace

std::vector<Sighting> sightAll(Firefly* const* fireflies, int fireflyCount) {
    std::vector<Sighting> seen(static_cast<std::size_t>(fireflyCount));
    for (int i = 0; i < fireflyCount; ++i) {
        seen[static_cast<std::size_t>(i)] = {fireflies[i]->x, fireflies[i]->z,
                                             fireflies[i]->heading};
    }
    return seen;
}

int chaseAction(int index, const std::vector<Sighting>& seen, int fireCooldown,
                const ChaserAim& aim) {
    assert(index >= 0 && static_cast<std::size_t>(index) < seen.size());
    const Sighting& self = seen[static_cast<std::size_t>(index)];
    int target = -1;
    double best = 0.0;
    for (std::size_t j = 0; j < seen.size(); ++j) {
        if (static_cast<int>(j) == index) {
            continue;
        }
        double metric = aim.nearest
                            ? distance(self.z, self.x, seen[j].z, seen[j].x)
                            : aimMetricAt(self.z, self.x, self.heading, seen[j].z, seen[j].x);
        if (std::isnan(metric) || (aim.nearest && metric == 0.0)) {
            continue; // it stands on this firefly: no direction to aim in
        }
        if (target == -1 || metric < best) {
            target = static_cast<int>(j);
            best = metric;
        }
    }
    if (target == -1) {
        return kThrustAction;
    }
    const Sighting& prey = seen[static_cast<std::size_t>(target)];
    // Relative bearing as the agent sees it: 0..180 lies on the side a right
    // turn swings toward, 180..360 on the left.
    double r = normalizeAngle360(self.heading - angleBetween(self.z, self.x, prey.z, prey.x));
    double off = r > 180.0 ? r - 360.0 : r;
    if (beamReady(fireCooldown) && std::fabs(off) <= aim.fireCone &&
        distance(self.z, self.x, prey.z, prey.x) <= aim.reach) {
        return kFireAction;
    }
    if (off > kHalfTurn) {
        return kTurnRightAction;
    }
    if (off < -kHalfTurn) {
        return kTurnLeftAction;
    }
    return kThrustAction;
}

int chaserAction(int index, Firefly* const* fireflies, int fireflyCount, const ChaserAim& aim) {
    return chaseAction(index, sightAll(fireflies, fireflyCount), fireflies[index]->fireCooldown,
                       aim);
}

StandIn::StandIn(std::uint32_t seed, double randomShare, int reactionSteps, ChaserAim aim)
    : randomShare(randomShare), reactionSteps(reactionSteps), aim(aim), random_(seed) {}

void StandIn::newGame() {
    for (auto& history : seen_) {
        history.clear();
    }
}

int StandIn::act(int index, Firefly* const* fireflies, int fireflyCount) {
    assert(index >= 0 && index < kFireflySlots && index < fireflyCount);
    auto& history = seen_[static_cast<std::size_t>(index)];
    history.push_back(sightAll(fireflies, fireflyCount));
    while (history.size() > static_cast<std::size_t>(reactionSteps) + 1) {
        history.pop_front();
    }
    // The others as they were (as far back as this game goes), itself now.
    std::vector<Sighting> seen = history.front();
    seen[static_cast<std::size_t>(index)] = history.back()[static_cast<std::size_t>(index)];
    int action = chaseAction(index, seen, fireflies[index]->fireCooldown, aim);
    if (unitDraw(random_) < randomShare) {
        action = static_cast<int>(random_() % kActionCount);
    }
    return action;
}
