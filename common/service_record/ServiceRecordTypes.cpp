#include "ServiceRecordTypes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace servicerecord {

namespace {

const std::array<const char*, 11> kKindCodes = {"config_read",     "config_write", "sensor_read",    "sensor_write",
                                                "calibration",     "zero_correction", "zero_reset", "nsx_correction",
                                                "nsx_reset",       "as_found",     "as_left"};
const std::array<const char*, 6> kOutcomeCodes = {"done", "failed", "refused", "cancelled", "running", "interrupted"};

template <std::size_t N, typename E>
bool FromCode(const std::array<const char*, N>& codes, const QString& code, E& value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (code == QLatin1String(codes[i])) {
            value = E(i);
            return true;
        }
    }
    return false;
}

} // namespace

QString EventKindCode(TEventKind kind) {
    return std::size_t(kind) < kKindCodes.size() ? QString::fromLatin1(kKindCodes[kind]) : QString();
}

bool EventKindFromCode(const QString& code, TEventKind& kind) {
    return FromCode(kKindCodes, code, kind);
}

QString OutcomeCode(TOutcome outcome) {
    return std::size_t(outcome) < kOutcomeCodes.size() ? QString::fromLatin1(kOutcomeCodes[outcome]) : QString();
}

bool OutcomeFromCode(const QString& code, TOutcome& outcome) {
    return FromCode(kOutcomeCodes, code, outcome);
}

bool TCheckPoint::Passed() const {
    // Values come with two decimals; a difference equal to the tolerance passes.
    return std::abs(Difference()) <= tolerance + 1e-9;
}

bool TCheck::Passed() const {
    return !points.isEmpty() && std::all_of(points.begin(), points.end(), [](const TCheckPoint& p) { return p.Passed(); });
}

} // namespace servicerecord
