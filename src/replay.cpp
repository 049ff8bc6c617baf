#include "replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <gnu/libc-version.h>

#include "state.h"
#include "tools.h"

namespace {

// The first bytes of every replay.
constexpr char kMagic[8] = {'F', 'F', 'R', 'E', 'P', 'L', 'A', 'Y'};
// Block tags after the header.
constexpr std::uint8_t kSecondTag = 'S';
constexpr std::uint8_t kEndTag = 'E';
// How an end block says the game ended.
constexpr std::uint8_t kEndFinished = 1;
constexpr std::uint8_t kEndLeft = 2;
// Bytes of one second's packed controls: two steps a byte.
constexpr std::size_t kSecondControlBytes = kChecksumSteps / 2;
static_assert(kChecksumSteps % 2 == 0, "two steps a byte");
// Largest data file fingerprinted, in bytes.
constexpr std::size_t kMaxDataFileBytes = std::size_t{64} << 20;

// The control bits.
constexpr std::uint8_t kUpBit = 1;
constexpr std::uint8_t kLeftBit = 2;
constexpr std::uint8_t kRightBit = 4;
constexpr std::uint8_t kFireBit = 8;

// FNV-1a, 64 and 32 bits.
constexpr std::uint64_t kFnv64Offset = 14695981039346656037ULL;
constexpr std::uint64_t kFnv64Prime = 1099511628211ULL;
constexpr std::uint32_t kFnv32Offset = 2166136261U;
constexpr std::uint32_t kFnv32Prime = 16777619U;

std::uint64_t fnv64(const std::string& bytes) {
    std::uint64_t hash = kFnv64Offset;
    for (unsigned char c : bytes) {
        hash = (hash ^ c) * kFnv64Prime;
    }
    return hash;
}

void fnv32Add(std::uint32_t& hash, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        hash = (hash ^ ((value >> (8 * i)) & 0xFFU)) * kFnv32Prime;
    }
}

std::uint32_t floatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Little-endian writers.
void putU8(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(value));
}
void putU32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        putU8(out, static_cast<std::uint8_t>(value >> (8 * i)));
    }
}
void putU64(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        putU8(out, static_cast<std::uint8_t>(value >> (8 * i)));
    }
}
void putI32(std::string& out, std::int32_t value) {
    putU32(out, static_cast<std::uint32_t>(value));
}
// A name of at most kMaxReplayNameBytes bytes, after its length.
void putName(std::string& out, const std::string& name) {
    std::string kept = name.substr(0, kMaxReplayNameBytes);
    putU8(out, static_cast<std::uint8_t>(kept.size()));
    out += kept;
}
// Steps' controls, two a byte, the earlier in the low half.
void putControls(std::string& out, const std::uint8_t* controls, std::size_t count) {
    for (std::size_t i = 0; i < count; i += 2) {
        std::uint8_t low = controls[i] & 0x0F;
        std::uint8_t high = (i + 1 < count) ? (controls[i + 1] & 0x0F) : 0;
        putU8(out, static_cast<std::uint8_t>(low | (high << 4)));
    }
}

// Hands out the bytes of a replay in order; every read checks that the bytes
// are there.
class Cursor {
  public:
    explicit Cursor(const std::string& bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    std::size_t left() const { return bytes_.size() - offset_; }
    bool atEnd() const { return offset_ == bytes_.size(); }

    bool u8(std::uint8_t& value) {
        if (left() < 1) {
            return false;
        }
        value = static_cast<std::uint8_t>(bytes_[offset_++]);
        return true;
    }
    bool u32(std::uint32_t& value) {
        if (left() < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes_[offset_++]))
                     << (8 * i);
        }
        return true;
    }
    bool u64(std::uint64_t& value) {
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        if (left() < 8) {
            return false;
        }
        u32(low);
        u32(high);
        value = (static_cast<std::uint64_t>(high) << 32) | low;
        return true;
    }
    bool i32(std::int32_t& value) {
        std::uint32_t bits = 0;
        if (!u32(bits)) {
            return false;
        }
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    bool text(std::size_t count, std::string& value) {
        if (left() < count) {
            return false;
        }
        value = bytes_.substr(offset_, count);
        offset_ += count;
        return true;
    }
    bool name(std::string& value) {
        std::uint8_t count = 0;
        return u8(count) && text(count, value);
    }

  private:
    const std::string& bytes_;
    std::size_t offset_ = 0;
};

// A file name as a replay may name one: no folder part, nothing hidden.
bool plainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c < 32 || c == 127) {
            return false;
        }
    }
    return true;
}

std::string at(const std::string& path, std::size_t offset) {
    return path + ":" + std::to_string(offset) + ": ";
}

// Unpacks count steps' controls from bytes at the cursor; false when a
// byte's unused half is not 0.
bool takeControls(Cursor& in, std::size_t count, std::vector<std::uint8_t>& controls) {
    for (std::size_t i = 0; i < count; i += 2) {
        std::uint8_t both = 0;
        in.u8(both);
        controls.push_back(both & 0x0F);
        if (i + 1 < count) {
            controls.push_back(static_cast<std::uint8_t>(both >> 4));
        } else if ((both >> 4) != 0) {
            return false;
        }
    }
    return true;
}

// Reads the header into replay; "" or the problem.
std::string parseHeader(Cursor& in, const std::string& bytes, const std::string& path,
                        Replay& replay) {
    const std::string cut = path + ": the file ends inside its header, after " +
                            std::to_string(bytes.size()) + " bytes";
    if (bytes.size() < sizeof kMagic) {
        return std::memcmp(bytes.data(), kMagic, bytes.size()) == 0 ? cut
                                                                    : path + ": not a replay";
    }
    std::string magic;
    in.text(sizeof kMagic, magic);
    if (std::memcmp(magic.data(), kMagic, sizeof kMagic) != 0) {
        return path + ": not a replay";
    }
    if (!in.u32(replay.formatVersion)) {
        return cut;
    }
    if (replay.formatVersion != kReplayFormatVersion) {
        return path + ": replay format version " + std::to_string(replay.formatVersion) +
               ", this game reads version " + std::to_string(kReplayFormatVersion);
    }
    std::size_t where = in.offset();
    if (!in.name(replay.gameVersion) || !in.u32(replay.seed)) {
        return cut;
    }
    if (replay.gameVersion.empty()) {
        return at(path, where) + "the game version is empty";
    }
    where = in.offset();
    if (!in.name(replay.mapName)) {
        return cut;
    }
    if (!replay.mapName.empty() && !plainFileName(replay.mapName)) {
        return at(path, where) + "map name \"" + printable(replay.mapName) +
               "\" is not a file name";
    }
    where = in.offset();
    std::uint32_t mapBytes = 0;
    if (!in.u32(mapBytes)) {
        return cut;
    }
    if (mapBytes > kMaxMapBytes) {
        return at(path, where) + "a map of " + std::to_string(mapBytes) +
               " bytes, more than the " + std::to_string(kMaxMapBytes) + " a map may hold";
    }
    if (!in.text(mapBytes, replay.mapText)) {
        return cut;
    }
    try {
        parseLevelMap(replay.mapText, path + " (its map)");
    } catch (const LoadError& error) {
        return error.message;
    }
    where = in.offset();
    std::uint8_t count = 0;
    if (!in.u8(count)) {
        return cut;
    }
    if (count == 0 || count > kMaxFingerprints) {
        return at(path, where) + std::to_string(count) + " data files, outside 1.." +
               std::to_string(kMaxFingerprints);
    }
    for (int i = 0; i < count; ++i) {
        DataFingerprint print;
        where = in.offset();
        std::uint8_t present = 0;
        if (!in.name(print.file) || !in.u8(present) || !in.u64(print.hash)) {
            return cut;
        }
        if (!plainFileName(print.file)) {
            return at(path, where) + "data file name \"" + printable(print.file) +
                   "\" is not a file name";
        }
        if (present > 1) {
            return at(path, where) + "data file " + printable(print.file) +
                   " is neither present nor missing";
        }
        print.present = (present == 1);
        replay.data.push_back(std::move(print));
    }
    return "";
}

} // namespace

std::uint8_t packControls(const Controls& controls) {
    return static_cast<std::uint8_t>((controls.up ? kUpBit : 0) | (controls.left ? kLeftBit : 0) |
                                     (controls.right ? kRightBit : 0) |
                                     (controls.fire ? kFireBit : 0));
}

Controls unpackControls(std::uint8_t bits) {
    Controls controls;
    controls.up = (bits & kUpBit) != 0;
    controls.left = (bits & kLeftBit) != 0;
    controls.right = (bits & kRightBit) != 0;
    controls.fire = (bits & kFireBit) != 0;
    return controls;
}

Controls controlsOf(const GameState& world) {
    Controls controls;
    controls.up = world.keyUp || world.pad.up();
    controls.left = world.keyLeft || world.pad.left();
    controls.right = world.keyRight || world.pad.right();
    controls.fire = world.fireflies[0]->fire;
    return controls;
}

void applyControls(GameState& world, const Controls& controls) {
    world.pad.release();
    world.keyUp = controls.up;
    world.keyLeft = controls.left;
    world.keyRight = controls.right;
    world.fireflies[0]->fire = controls.fire;
}

const std::vector<std::string>& worldDataFiles() {
    // What the fireflies, lanterns, flowers, backdrop and agent load by name.
    static const std::vector<std::string> files = {
        "learner.trans", "learner.val", "random_numbers.dat", "firefly.obj", "lantern.obj",
        "flower.obj",    "bounds.bmp",  "shell.bmp",          "abdomen.bmp", "wing.bmp",
        "flowerT.bmp",   "lanternT.bmp", "norm.bmp",          "braid.bmp",   "braid_norm.bmp",
    };
    return files;
}

std::vector<DataFingerprint> fingerprintWorldData(const std::string& folder) {
    std::vector<DataFingerprint> prints;
    std::string prefix = (folder.empty() || folder == ".") ? "" : folder + "/";
    std::string bytes;
    for (const std::string& file : worldDataFiles()) {
        DataFingerprint print;
        print.file = file;
        if (readFileUpTo(prefix + file, kMaxDataFileBytes, bytes) == FileRead::kWhole) {
            print.present = true;
            print.hash = fnv64(bytes);
        }
        prints.push_back(print);
    }
    return prints;
}

std::uint32_t worldChecksum(const GameState& world) {
    std::uint32_t hash = kFnv32Offset;
    fnv32Add(hash, static_cast<std::uint32_t>(world.fireflyCount));
    for (int i = 0; i < world.fireflyCount; ++i) {
        const Firefly& firefly = *world.fireflies[i];
        fnv32Add(hash, floatBits(firefly.x));
        fnv32Add(hash, floatBits(firefly.z));
        fnv32Add(hash, floatBits(firefly.heading));
        fnv32Add(hash, static_cast<std::uint32_t>(firefly.score));
    }
    return hash;
}

ScorePair scoresOf(const std::vector<std::int32_t>& scores) {
    ScorePair pair;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (i == 0) {
            pair.player = scores[0];
        } else if (i == 1 || scores[i] > pair.opponent) {
            pair.opponent = scores[i];
        }
    }
    return pair;
}

namespace {

std::vector<std::int32_t> allScores(const GameState& world) {
    std::vector<std::int32_t> scores;
    for (int i = 0; i < world.fireflyCount; ++i) {
        scores.push_back(world.fireflies[i]->score);
    }
    return scores;
}

} // namespace

ScorePair scoresOf(const GameState& world) {
    return scoresOf(allScores(world));
}

std::string encodeReplayHeader(const Replay& header) {
    std::string out(kMagic, sizeof kMagic);
    putU32(out, kReplayFormatVersion);
    putName(out, header.gameVersion);
    putU32(out, header.seed);
    putName(out, header.mapName);
    putU32(out, static_cast<std::uint32_t>(header.mapText.size()));
    out += header.mapText;
    std::size_t count = std::min(header.data.size(), kMaxFingerprints);
    putU8(out, static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        putName(out, header.data[i].file);
        putU8(out, header.data[i].present ? 1 : 0);
        putU64(out, header.data[i].hash);
    }
    return out;
}

std::string encodeSecond(const std::uint8_t* controls, const SecondMark& mark) {
    std::string out;
    putU8(out, kSecondTag);
    putControls(out, controls, kChecksumSteps);
    putU32(out, mark.checksum);
    putI32(out, mark.scores.player);
    putI32(out, mark.scores.opponent);
    return out;
}

std::string encodeEnd(ReplayEnd end, const std::vector<std::uint8_t>& lastSteps,
                      const std::vector<std::int32_t>& scores) {
    std::string out;
    putU8(out, kEndTag);
    putU8(out, end == ReplayEnd::Finished ? kEndFinished : kEndLeft);
    putU8(out, static_cast<std::uint8_t>(lastSteps.size()));
    putControls(out, lastSteps.data(), lastSteps.size());
    putU8(out, static_cast<std::uint8_t>(scores.size()));
    for (std::int32_t score : scores) {
        putI32(out, score);
    }
    return out;
}

std::string parseReplay(const std::string& bytes, const std::string& path, Replay& replay) {
    replay = Replay{};
    if (bytes.empty()) {
        return path + ": the file is empty, not a replay";
    }
    if (bytes.size() > kMaxReplayBytes) {
        return path + ": larger than " + std::to_string(kMaxReplayBytes) +
               " bytes, more than any replay holds";
    }
    Cursor in(bytes);
    std::string problem = parseHeader(in, bytes, path, replay);
    if (!problem.empty()) {
        return problem;
    }
    const std::size_t fireflies = parseLevelMap(replay.mapText, path).fireflies.size();
    constexpr std::size_t kSecondBytes = kSecondControlBytes + 12;
    while (!in.atEnd()) {
        std::size_t where = in.offset();
        std::uint8_t tag = 0;
        in.u8(tag);
        if (tag == kSecondTag) {
            if (in.left() < kSecondBytes) {
                break; // a second cut short: the game was stopped while it was written
            }
            takeControls(in, kChecksumSteps, replay.controls);
            SecondMark mark;
            in.u32(mark.checksum);
            in.i32(mark.scores.player);
            in.i32(mark.scores.opponent);
            replay.seconds.push_back(mark);
            continue;
        }
        if (tag != kEndTag) {
            return at(path, where) + "no block begins with byte " + std::to_string(tag);
        }
        std::uint8_t how = 0;
        std::uint8_t steps = 0;
        if (!in.u8(how) || !in.u8(steps)) {
            break;
        }
        if (how != kEndFinished && how != kEndLeft) {
            return at(path, where + 1) + "the game ends in an unknown way (" +
                   std::to_string(how) + ")";
        }
        if (steps >= kChecksumSteps) {
            return at(path, where + 2) + std::to_string(steps) +
                   " steps after the last second, more than a second holds";
        }
        if (in.left() < (steps + 1u) / 2) {
            break;
        }
        std::vector<std::uint8_t> last;
        if (!takeControls(in, steps, last)) {
            return at(path, in.offset() - 1) + "the last step's byte has bits after it";
        }
        where = in.offset();
        std::uint8_t count = 0;
        if (!in.u8(count)) {
            break;
        }
        if (count != fireflies) {
            return at(path, where) + std::to_string(count) + " final scores for a map of " +
                   std::to_string(fireflies) + " fireflies";
        }
        if (in.left() < 4u * count) {
            break;
        }
        std::vector<std::int32_t> scores(count);
        for (std::int32_t& score : scores) {
            in.i32(score);
        }
        if (!in.atEnd()) {
            return at(path, in.offset()) + std::to_string(in.left()) +
                   " bytes of controls past the end of the game";
        }
        replay.controls.insert(replay.controls.end(), last.begin(), last.end());
        replay.end = (how == kEndFinished) ? ReplayEnd::Finished : ReplayEnd::Left;
        replay.finalScores = std::move(scores);
        return "";
    }
    // The file stops before its end: every whole second is kept.
    replay.controls.resize(replay.seconds.size() * kChecksumSteps);
    replay.end = ReplayEnd::CutShort;
    return "";
}

std::string readReplay(const std::string& path, Replay& replay) {
    replay = Replay{};
    std::string bytes;
    switch (readFileUpTo(path, kMaxReplayBytes, bytes)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return parseReplay(bytes, path, replay);
    case FileRead::kCannotOpen:
        return path + ": cannot open the replay: " + std::strerror(errno);
    case FileRead::kTooLarge:
        return path + ": larger than " + std::to_string(kMaxReplayBytes) +
               " bytes, more than any replay holds";
    case FileRead::kCannotRead:
        break;
    }
    return path + ": cannot read the replay (a folder is not one)";
}

std::string checkReplayData(const Replay& replay, const std::string& path,
                            const std::string& folder) {
    std::vector<DataFingerprint> current = fingerprintWorldData(folder);
    auto find = [](const std::vector<DataFingerprint>& prints, const std::string& file) {
        for (const DataFingerprint& print : prints) {
            if (print.file == file) {
                return &print;
            }
        }
        return static_cast<const DataFingerprint*>(nullptr);
    };
    std::string where = (folder.empty() || folder == ".") ? "" : folder + "/";
    for (const DataFingerprint& now : current) {
        const DataFingerprint* then = find(replay.data, now.file);
        if (then == nullptr || then->present != now.present || then->hash != now.hash) {
            return path + ": recorded with other data: " + where + now.file + " differs";
        }
    }
    for (const DataFingerprint& then : replay.data) {
        if (find(current, then.file) == nullptr) {
            return path + ": recorded with other data: " + where + then.file + " differs";
        }
    }
    return "";
}

ReplayRecorder::~ReplayRecorder() {
    close();
}

std::string ReplayRecorder::open(const std::string& path, const Replay& header) {
    close();
    failed_ = false;
    written_ = 0;
    pending_.clear();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        failed_ = true;
        return path + ": cannot record the game: " + std::strerror(errno);
    }
    write(encodeReplayHeader(header));
    if (failed_) {
        return path + ": cannot record the game: the header could not be written";
    }
    return "";
}

void ReplayRecorder::step(const Controls& controls, const GameState& world) {
    if (file_ == nullptr) {
        return;
    }
    pending_.push_back(packControls(controls));
    if (pending_.size() == static_cast<std::size_t>(kChecksumSteps)) {
        write(encodeSecond(pending_.data(), SecondMark{worldChecksum(world), scoresOf(world)}));
        pending_.clear();
    }
    if (world.events.ended) {
        write(encodeEnd(ReplayEnd::Finished, pending_, allScores(world)));
        close();
    }
}

void ReplayRecorder::leave(const GameState& world) {
    if (file_ == nullptr) {
        return;
    }
    write(encodeEnd(ReplayEnd::Left, pending_, allScores(world)));
    close();
}

void ReplayRecorder::write(const std::string& bytes) {
    if (file_ == nullptr) {
        return;
    }
    // Past the size a reader takes, the record stops: it reads as cut short.
    if (written_ + bytes.size() > kMaxReplayBytes) {
        failed_ = true;
        close();
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() ||
        std::fflush(file_) != 0) {
        failed_ = true;
        close();
        return;
    }
    written_ += bytes.size();
}

void ReplayRecorder::close() {
    if (file_ != nullptr) {
        if (std::fclose(file_) != 0) {
            failed_ = true;
        }
        file_ = nullptr;
    }
}

void playRecordedStep(GameState& world, const Controls& controls, ReplayRecorder& recorder) {
    applyControls(world, controls);
    Controls used = controlsOf(world);
    world.update();
    recorder.step(used, world);
    world.drawScene();
}

ReplayPlayer::ReplayPlayer(const Replay& replay, std::string path)
    : replay_(replay), path_(std::move(path)) {}

void ReplayPlayer::applyNext(GameState& world) {
    applyControls(world, unpackControls(replay_.controls[played_]));
    ++played_;
}

std::string ReplayPlayer::check(const GameState& world) {
    const std::size_t steps = replaySteps(replay_);
    const bool last = (played_ == steps);
    // The game ends on the recorded step, and on no other.
    if (world.events.ended && !(last && replay_.end == ReplayEnd::Finished)) {
        return outOfStep();
    }
    if (played_ % kChecksumSteps == 0) {
        std::size_t second = played_ / kChecksumSteps - 1;
        if (second < replay_.seconds.size()) {
            const SecondMark& mark = replay_.seconds[second];
            ScorePair scores = scoresOf(world);
            if (mark.checksum != worldChecksum(world) || mark.scores.player != scores.player ||
                mark.scores.opponent != scores.opponent) {
                return outOfStep();
            }
        }
    }
    if (last && replay_.end != ReplayEnd::CutShort) {
        if (replay_.end == ReplayEnd::Finished && !world.gameOver) {
            return outOfStep();
        }
        if (replay_.finalScores != allScores(world)) {
            return outOfStep();
        }
    }
    return "";
}

std::string ReplayPlayer::outOfStep() const {
    char when[32];
    std::snprintf(when, sizeof when, "%.1f", playSeconds(played_));
    return path_ + ": out of step at " + when + " s of play: recorded by fireflies " +
           printable(replay_.gameVersion) + " with other data or another build";
}

std::string buildName() {
#if defined(__clang__)
    std::string compiler = std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
    std::string compiler = std::string("GCC ") + __VERSION__;
#else
    std::string compiler = "an unknown compiler";
#endif
    return compiler + ", glibc " + gnu_get_libc_version();
}
