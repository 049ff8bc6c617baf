#include "training.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "state.h"

namespace {

// The turn that brings prey in this sector toward the cone ahead, or -1 when
// the prey is ahead or behind. Sectors 0 and 1 lie on the side a right turn
// swings the heading to, sectors 3 and 4 on the left.
int turnToward(int sector) {
    if (sector == 0 || sector == 1) {
        return kTurnRightAction;
    }
    if (sector == 3 || sector == 4) {
        return kTurnLeftAction;
    }
    return -1;
}

double meanOf(const std::vector<int>& list, const std::vector<int>& members) {
    if (members.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (int i : members) {
        sum += list[static_cast<std::size_t>(i)];
    }
    return sum / static_cast<double>(members.size());
}

// Adds amount to a counter, refusing to let it overflow (a run far longer
// than the counters can hold).
void addToCounter(int& counter, long long amount) {
    long long sum = static_cast<long long>(counter) + amount;
    if (sum > INT_MAX || sum < INT_MIN) {
        throw std::overflow_error(
            "the training counters are full: train with fewer games or steps");
    }
    counter = static_cast<int>(sum);
}

// Quantile q (0..1) of sorted values, interpolating between neighbours.
double quantile(const std::vector<double>& sorted, double q) {
    double position = q * static_cast<double>(sorted.size() - 1);
    std::size_t low = static_cast<std::size_t>(std::floor(position));
    std::size_t high = std::min(low + 1, sorted.size() - 1);
    double share = position - static_cast<double>(low);
    return sorted[low] + (sorted[high] - sorted[low]) * share;
}

} // namespace

bool preyInSights(int state) {
    Situation situation = decodeSituation(state);
    return situation.preySector == kAheadSector && situation.preyNear;
}

void poolStraightFlight(Learner& learner) {
    for (int s = 0; s < kStateCount; ++s) {
        std::vector<int>& actionCounts = learner.actionCounts[s];
        addToCounter(actionCounts[kThrustAction], actionCounts[kFireAction]);
        actionCounts[kFireAction] = actionCounts[kThrustAction];
        for (int next = 0; next < kStateCount; ++next) {
            addToCounter(learner.transCount(s, next, kThrustAction),
                         learner.transCount(s, next, kFireAction));
            learner.transCount(s, next, kFireAction) = learner.transCount(s, next, kThrustAction);
        }
    }
}

Trainer::Trainer(GameState& world, std::uint32_t seed, RewardRule rule)
    : Trainer(std::vector<GameState*>{&world}, seed, rule) {}

Trainer::Trainer(std::vector<GameState*> worlds, std::uint32_t seed, RewardRule rule)
    : worlds_(std::move(worlds)), rule_(rule), random_(seed) {
    for (GameState* world : worlds_) {
        world->playerIsAgent = true;
        world->learner = Learner();
    }
}

int Trainer::playGame(int maxSteps, double explore) {
    GameState& world = *worlds_[static_cast<std::size_t>(games) % worlds_.size()];
    world.restart();
    const int count = world.fireflyCount;
    int from[kFireflySlots] = {};
    int action[kFireflySlots] = {};
    int reward[kFireflySlots] = {};
    // Which fireflies the chaser flies in this game (none unless sparring);
    // the draw is made only when sparring, so that training without it
    // consumes the same random numbers as ever.
    bool chased[kFireflySlots] = {};
    if (sparring > 0.0 && unitDraw(random_) < sparring) {
        for (int i = 0; i < count; ++i) {
            chased[i] = i % 2 == games % 2;
        }
    }

    // A step is counted once the state it led to is known: at the next
    // decision, or for the last step from the final positions. Its reward
    // and its visit both go to that state.
    auto countStep = [&](const std::vector<int>& next) {
        for (int i = 0; i < count; ++i) {
            if (chased[i]) {
                continue;
            }
            int s = from[i];
            int a = action[i];
            int arrived = next[i];
            addToCounter(counts.transCount(s, arrived, a), 1);
            addToCounter(counts.actionCounts[s][a], 1);
            addToCounter(counts.visits[arrived], 1);
            addToCounter(counts.rewardSums[arrived],
                         reward[i] + (preyInSights(arrived) ? rule_.inSights : 0));
        }
    };

    int played = 0;
    while (played < maxSteps && !world.gameOver) {
        world.decide();
        if (played > 0) {
            countStep(world.learner.states);
        }
        for (int i = 0; i < count; ++i) {
            if (chased[i]) {
                world.learner.actions[i] = chaserAction(i, world.fireflies, count, sparringAim);
            } else if (explore > 0.0 && unitDraw(random_) < explore) {
                world.learner.actions[i] = static_cast<int>(random_() % kActionCount);
            }
            from[i] = world.learner.states[i];
            action[i] = world.learner.actions[i];
        }
        world.advance();
        // The step's own account of its hits.
        for (int i = 0; i < count; ++i) {
            reward[i] = rule_.hitLanded * world.events.hitsLandedBy(i) +
                        rule_.hitTaken * world.events.hitsTakenBy(i);
        }
        ++played;
    }
    if (played > 0) {
        world.learner.observe(world.fireflies, count, world.lanterns, world.lanternCount);
        countStep(world.learner.states);
    }
    steps += played;
    ++games;
    return played;
}

Learner Trainer::plan() const {
    Learner tables = counts;
    poolStraightFlight(tables);
    tables.solve();
    return tables;
}

void Trainer::playOn(const Learner& tables) {
    for (GameState* world : worlds_) {
        world->learner.transProbs = tables.transProbs;
        world->learner.values = tables.values;
    }
}

const char* pilotName(Pilot pilot) {
    switch (pilot) {
    case Pilot::Tables:
        return "tables";
    case Pilot::Baseline:
        return "baseline";
    case Pilot::Chaser:
        return "chaser";
    case Pilot::StandIn:
        return "stand-in";
    }
    return "?";
}

Match::Match(Pairing pairing, const Learner& baseline, std::uint32_t seed)
    : standIn(seed), pairing_(pairing), baseline_(baseline), random_(seed) {}

GameRecord Match::play(GameState& world, int maxSteps) {
    GameRecord game = startGame(world);
    const bool baselineFlies =
        pairing_.first == Pilot::Baseline || pairing_.second == Pilot::Baseline;
    while (game.steps < maxSteps && !world.gameOver) {
        world.decide();
        if (baselineFlies) {
            baseline_.chooseActions(world.fireflies, world.fireflyCount, world.lanterns,
                                    world.lanternCount);
        }
        choosePilotActions(world, game);
        countDecisions(world, game);
        world.advance();
        for (int i : world.events.shots) {
            SideRecord& side = sideOf(game, i);
            ++side.shots;
            side.shotsInSights += preyInSights(world.learner.states[i]) ? 1 : 0;
        }
        ++game.steps;
    }
    closeBooks(world, game);
    return game;
}

GameRecord Match::startGame(GameState& world) {
    world.playerIsAgent = true;
    world.restart();
    standIn.newGame();
    const int count = world.fireflyCount;
    if (randomHeadings) {
        for (int i = 0; i < count; ++i) {
            world.fireflies[i]->heading = static_cast<float>(unitDraw(random_) * 360.0);
        }
    }
    GameRecord game;
    game.side.assign(static_cast<std::size_t>(count), 1);
    for (int i = 0; i < count; ++i) {
        bool first = pairing_.playerAlone ? i == 0 : i % 2 == record.games % 2;
        game.side[static_cast<std::size_t>(i)] = first ? 0 : 1;
    }
    return game;
}

SideRecord& Match::sideOf(const GameRecord& game, int firefly) {
    return game.side[static_cast<std::size_t>(firefly)] == 0 ? record.first : record.second;
}

void Match::choosePilotActions(GameState& world, const GameRecord& game) {
    const int count = world.fireflyCount;
    for (int i = 0; i < count; ++i) {
        int& action = world.learner.actions[i];
        Pilot pilot =
            game.side[static_cast<std::size_t>(i)] == 0 ? pairing_.first : pairing_.second;
        switch (pilot) {
        case Pilot::Tables:
            break;
        case Pilot::Baseline:
            action = baseline_.actions[i];
            break;
        case Pilot::Chaser:
            action = chaserAction(i, world.fireflies, count, chaserAim);
            break;
        case Pilot::StandIn:
            action = standIn.act(i, world.fireflies, count);
            break;
        }
    }
}

void Match::countDecisions(const GameState& world, const GameRecord& game) {
    for (int i = 0; i < world.fireflyCount; ++i) {
        Situation situation = decodeSituation(world.learner.states[i]);
        if (!situation.preyNear) {
            continue;
        }
        SideRecord& side = sideOf(game, i);
        int chosen = world.learner.actions[i];
        if (situation.preySector == kAheadSector && beamReady(world.fireflies[i]->fireCooldown)) {
            ++side.aimedDecisions;
            side.aimedFires += chosen == kFireAction ? 1 : 0;
        }
        int toward = turnToward(situation.preySector);
        if (toward != -1) {
            ++side.flankDecisions;
            side.flankTurnsToward += chosen == toward ? 1 : 0;
        }
    }
}

void Match::closeBooks(const GameState& world, GameRecord& game) {
    const int count = world.fireflyCount;
    game.finished = world.gameOver;
    for (int i = 0; i < count; ++i) {
        game.scores.push_back(world.fireflies[i]->score);
        game.landed.push_back(world.hitsLanded[static_cast<std::size_t>(i)]);
        game.taken.push_back(world.hitsTaken[static_cast<std::size_t>(i)]);
    }
    if (game.finished) {
        // As the game ends: the player wins on 20, whoever else has 20 too.
        game.winner = 0;
        if (world.fireflies[0]->score < kWinningScore) {
            for (int i = 1; i < count; ++i) {
                if (world.fireflies[i]->score > world.fireflies[game.winner]->score) {
                    game.winner = i;
                }
            }
        }
        ++sideOf(game, game.winner).wins;
    }

    for (int s = 0; s < 2; ++s) {
        std::vector<int> members;
        for (int i = 0; i < count; ++i) {
            if (game.side[static_cast<std::size_t>(i)] == s) {
                members.push_back(i);
            }
        }
        SideRecord& side = s == 0 ? record.first : record.second;
        side.points.push_back(meanOf(game.scores, members));
        side.hitsLanded.push_back(meanOf(game.landed, members));
        side.hitsTaken.push_back(meanOf(game.taken, members));
    }
    ++record.games;
    record.finished += game.finished ? 1 : 0;
    record.steps += game.steps;
    record.lengths.push_back(static_cast<double>(game.steps));
    record.slotPoints.resize(static_cast<std::size_t>(count), 0);
    record.slotWins.resize(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; ++i) {
        record.slotPoints[static_cast<std::size_t>(i)] += game.scores[static_cast<std::size_t>(i)];
    }
    if (game.winner != -1) {
        ++record.slotWins[static_cast<std::size_t>(game.winner)];
    }
}

Interval wilsonInterval(int successes, int trials) {
    Interval interval;
    if (trials <= 0) {
        return interval;
    }
    const double z = 1.959963984540054; // the normal quantile of 97.5%
    double n = static_cast<double>(trials);
    double p = static_cast<double>(successes) / n;
    double z2n = z * z / n;
    double centre = (p + z2n / 2.0) / (1.0 + z2n);
    double half = z * std::sqrt(p * (1.0 - p) / n + z2n / (4.0 * n)) / (1.0 + z2n);
    interval.low = std::max(0.0, centre - half);
    interval.high = std::min(1.0, centre + half);
    return interval;
}

Summary summarize(std::vector<double> values) {
    Summary summary;
    if (values.empty()) {
        return summary;
    }
    std::sort(values.begin(), values.end());
    double sum = 0.0;
    for (double v : values) {
        sum += v;
    }
    summary.mean = sum / static_cast<double>(values.size());
    double squares = 0.0;
    for (double v : values) {
        squares += (v - summary.mean) * (v - summary.mean);
    }
    summary.deviation = std::sqrt(squares / static_cast<double>(values.size()));
    summary.lowerQuartile = quantile(values, 0.25);
    summary.median = quantile(values, 0.5);
    summary.upperQuartile = quantile(values, 0.75);
    return summary;
}
