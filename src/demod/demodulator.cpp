#include "demod/demodulator.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "demod/activity_detector.h"
#include "demod/bit_decision.h"
#include "demod/burst_fit.h"
#include "demod/pulse_period.h"
#include "demod/sample_history.h"
#include "demod/turns.h"
#include "demod/working_signal.h"

// The stages, in the order a sample meets them:
//
//   input -> working samples (decimated, fixed point) -> history with running sums
//         -> chunk energies: loud or quiet (activity_detector)
//         -> where loud: the pulse period, if not known yet (pulse_period)
//         -> a lattice of pulse responses every quarter period, whose envelope spots bursts
//         -> each burst fitted on its grid of pulse centres (burst_fit)
//         -> neighbours linked through their pauses, bits decided (bit_decision)
//
// Loud stretches that hold no bursts become noise; silence costs only the chunk energies.

namespace {

constexpr double pi = 3.14159265358979323846;
// How far the period may be off once it is measured between bursts (a few parts in a thousand,
// plus what wow changes from one burst to the next).
constexpr double chained_spread = 0.012;
constexpr int history_log2 = 15;
constexpr std::size_t piece_samples = 4096; // working samples per step

// The pulse periods looked for: speeds of about 0.4 to 2.7.
constexpr double shortest_period_s = 110e-6;
constexpr double longest_period_s = 800e-6;
// The stretch searched for the period after the signal starts.
constexpr double acquire_window_s = 0.012;
constexpr float acquire_strength = 0.25f;
constexpr float acquire_chance = 4.5f; // standard deviations of chance correlation
// The slow part removed before the search: a moving average this long.
constexpr double drift_window_s = 0.001;
// Quiet this long ends a stretch of signal; a gap this long between bursts leaves them without
// neighbours; noise stretches closer than this are one.
constexpr double hangover_s = 0.02;
constexpr double long_gap_s = 0.02;
constexpr double noise_merge_s = 0.01;
// Loud this long with no burst found: the period is lost.
constexpr double lost_after_s = 0.04;
// Bursts longer than this are tones, not bits.
constexpr int max_burst_pulses = 15;
// Rejected bursts in a row after which the period is searched again.
constexpr int failures_to_search = 4;
// Bursts in a row without a tape's rhythm before the period is searched again.
constexpr int unsound_to_search = 12;
// The usual gap between two bursts' facing pulse centres, in periods: 150 + 1300 + 150 us.
constexpr double usual_gap_periods = 16.0 / 3.0;
// The lattice's thresholds: the envelope against the noise and against the pulses' level.
constexpr float on_noise = 4.5f, off_noise = 3.5f;
constexpr float on_level = 0.4f, off_level = 0.3f;
// The share of each new change of the period that goes into its trend.
constexpr double trend_gain = 0.15;
// An onset this many times louder than the bursts' level starts the period search again.
constexpr float louder_than_bursts = 4.f;
// A burst whose level is below this share of the bursts' level is noise.
constexpr float weak_level = 0.35f;
// A burst's pulses stand this many standard deviations of noise (in the response of one
// pulse) above 0.
constexpr float least_burst_noise = 4.f;
// A burst of one or two pulses scores at least this on each.
constexpr float lone_pulse_score = 3.f;
// Votes (in scores) that settle the polarity.
constexpr float polarity_settled = 2.5f;
// Votes beyond which the unsettled polarity follows them, and the bursts after which it settles
// regardless.
constexpr float polarity_leaning = 0.75f;
constexpr int polarity_patience = 16;

} // namespace

class DemodulatorState {
  public:
    explicit DemodulatorState(int rate);
    void feed(const float* samples, std::size_t count, Heard& out);
    void finish(Heard& out);

  private:
    void take_working(std::size_t count, Heard& out, bool final);
    void measure_chunks();
    void track(Heard& out, bool final);
    bool acquire(int64_t from);
    float pulse_strength(int64_t from, int64_t count, double period) const;
    void run_lattice(double until, Heard& out);
    void close_candidate(Heard& out);
    void add_phase(int64_t at, float m);
    void restart_lattice(double at);
    void failures();
    BurstFit fit_candidate(double from, double to, double centre);
    void take_fit(const BurstFit& fit, double from, double to, Heard& out);
    void note_rhythm(bool sound, double at);
    void emit_waiting(Heard& out);
    void follow_speed(const BurstFit& before, const BurstFit& after);
    void flush(Heard& out);
    void note_noise(double from, double to, Heard& out);
    void close_noise(Heard& out);
    int64_t frame(double position) const {
        return std::llround(position * static_cast<double>(factor_));
    }

    // Front end.
    int factor_;
    double working_rate_;
    Decimator decimator_;
    SampleHistory history_;
    std::vector<int32_t> work_;
    int64_t input_frames_ = 0;

    // Activity.
    ActivityDetector activity_;
    std::vector<uint8_t> loud_; // per chunk, a ring as long as the history
    int64_t chunks_measured_ = 0;
    int64_t chunks_tracked_ = 0;
    int64_t last_loud_chunk_ = -1000000;
    int64_t loud_from_ = 0;     // where the current stretch of signal began
    int64_t tried_from_ = 0;    // the last search that failed: where its window began
    double tried_period_ = 0.0; // and the period it found too weakly (0: none)
    int64_t acquire_back_ = 0;  // the first sample whose pulses the period found covers
    int64_t lookahead_;

    // Tracking.
    bool running_ = false;
    bool have_period_ = false;
    double period_ = 0.0;       // the pulse period expected next (working samples)
    double period_trend_ = 0.0; // its change from one burst to the next
    double last_measured_ = 0.0; // the last period measured between bursts
    double chain_at_[3] = {};    // the first pulses of the last bursts joined by ordinary pauses
    double chain_span_[3] = {};  // the periods from each to the next
    int chain_ = 0;
    double min_period_, max_period_;
    int64_t next_acquire_ = 0;
    int failures_ = 0;
    bool confirmed_ = false; // a burst was taken since the period was found
    double last_burst_end_ = 0.0;
    int polarity_ = 0;
    float polarity_votes_ = 0.f;
    float vote_ = 0.f; // the last fit's vote, counted if the burst is taken
    int polarity_bursts_ = 0; // bursts that voted
    float noise_var_ = 0.f; // per working sample
    int bursts_ = 0;        // bursts that measured the noise
    int unsound_ = 0;       // bursts in a row not joined soundly to the one before
    float level_ = 0.f;     // the pulses' amplitude per working sample

    // The lattice.
    double lattice_pos_ = 0.0;
    int64_t lattice_index_ = 0;
    float lattice_m_[4] = {};
    int64_t lattice_fresh_ = 0; // the first lattice point whose envelope counts
    int strong_ = 0;            // lattice points above the upper threshold since the onset
    int weak_ = 0;              // lattice points in a row below the lower one
    double fit_floor_ = 0.0;    // no pulse centre before this: the last burst's pulses
    bool accepted_ = false;     // the last fit was taken as a burst
    bool in_candidate_ = false;
    bool in_tone_ = false;
    double tone_end_ = -1e18; // where the last tone was still heard
    double candidate_first_ = 0.0;
    double candidate_ref_ = 0.0;
    double candidate_re_ = 0.0, candidate_im_ = 0.0;
    int64_t phase_at_ = 0;                // the sample the phasor below stands at
    double phase_re_ = 1.0, phase_im_ = 0.0; // e^(i 2 pi (phase_at_ - ref) / period)
    double step_re_ = 1.0, step_im_ = 0.0;   // its turn per sample
    int below_ = 0; // lattice points in a row below the lower threshold, ending a tone

    // The bursts waiting for their neighbours: the oldest first.
    struct Waiting {
        BurstFit fit;
        Join start = Join::none; // how its start meets the burst before
        Join end = Join::none;   // how its end meets the next
        bool first = false;      // the first burst since the period was searched
        bool unjudged = false;   // taken with no level of bursts to judge it by
    };
    Waiting waiting_[2];
    int waiting_count_ = 0;
    bool before_sound_ = false; // the burst emitted last was sound (4 or 9 pulses, clean)

    // The noise stretch being gathered.
    bool noise_open_ = false;
    double noise_from_ = 0.0, noise_to_ = 0.0;
};

DemodulatorState::DemodulatorState(int rate)
    : factor_(decimation_factor(rate < 1 ? 1 : rate)),
      working_rate_(static_cast<double>(rate < 1 ? 1 : rate) / factor_),
      decimator_(make_decimator(factor_)), history_(history_log2),
      work_(piece_samples + 1), activity_(make_activity_detector(static_cast<int>(working_rate_))),
      loud_(static_cast<std::size_t>(history_.capacity() / activity_.chunk), 0) {
    min_period_ = shortest_period_s * working_rate_;
    max_period_ = longest_period_s * working_rate_;
    lookahead_ = static_cast<int64_t>(acquire_window_s * working_rate_ +
                                      (max_burst_pulses + 6) * max_period_) +
                 2 * activity_.chunk;
}

void DemodulatorState::feed(const float* samples, std::size_t count, Heard& out) {
    const std::size_t step = piece_samples * static_cast<std::size_t>(factor_);
    for (std::size_t at = 0; at < count; at += step) {
        const std::size_t n = std::min(step, count - at);
        const std::size_t produced = decimate(decimator_, samples + at, n, work_.data());
        input_frames_ += static_cast<int64_t>(n);
        take_working(produced, out, false);
    }
}

void DemodulatorState::finish(Heard& out) {
    // Silence after the end (the last sample held, so that an offset makes no step) lets every
    // stage finish what it holds.
    std::fill(work_.begin(), work_.end(),
              history_.end() > 0 ? history_.sample(history_.end() - 1) : 0);
    int64_t left = lookahead_ + 4 * activity_.chunk + static_cast<int64_t>(hangover_s * working_rate_);
    while (left > 0) {
        const auto n = static_cast<std::size_t>(std::min<int64_t>(left, piece_samples));
        take_working(n, out, true);
        left -= static_cast<int64_t>(n);
    }
    flush(out);
}

void DemodulatorState::take_working(std::size_t count, Heard& out, bool final) {
    history_.append(work_.data(), count);
    measure_chunks();
    track(out, final);
}

void DemodulatorState::measure_chunks() {
    const int c = activity_.chunk;
    const auto ring = static_cast<int64_t>(loud_.size());
    while ((chunks_measured_ + 1) * c <= history_.end()) {
        const float e = chunk_energy(history_, chunks_measured_ * c, c, activity_.lag);
        loud_[static_cast<std::size_t>(chunks_measured_ % ring)] = chunk_is_loud(activity_, e);
        ++chunks_measured_;
    }
}

void DemodulatorState::track(Heard& out, bool final) {
    const int c = activity_.chunk;
    const auto ring = static_cast<int64_t>(loud_.size());
    const auto hangover = static_cast<int64_t>(hangover_s * working_rate_ / c) + 1;
    const auto lost_after = static_cast<int64_t>(lost_after_s * working_rate_ / c) + 1;
    while (chunks_tracked_ < chunks_measured_ &&
           (final || (chunks_tracked_ + 1) * c + lookahead_ <= history_.end())) {
        const int64_t q = chunks_tracked_++;
        const bool loud = loud_[static_cast<std::size_t>(q % ring)] != 0;
        const int64_t at = q * c;
        if (loud) last_loud_chunk_ = q;
        if (!running_) {
            if (!loud) continue;
            running_ = true;
            loud_from_ = at - c;
            if (have_period_) lattice_pos_ = std::max(lattice_pos_, at - c - 3.0 * period_);
        }
        if (!have_period_ && loud && at >= next_acquire_) {
            if (acquire(at - c)) {
                // Where the window searched before showed the same period, too weakly to be
                // sure (it began with silence), its pulses are looked at too: the first bits of
                // a program must not go to the search.
                const double back = static_cast<double>(std::max(loud_from_, acquire_back_));
                lattice_pos_ = std::max(lattice_pos_, back - 3.0 * period_);
                if (back < static_cast<double>(at - c) && noise_open_ && noise_to_ > lattice_pos_) {
                    // Noted as noise only because no period was known.
                    noise_to_ = std::max(noise_from_, lattice_pos_);
                    if (noise_to_ <= noise_from_) noise_open_ = false;
                }
                last_burst_end_ = static_cast<double>(at);
            } else {
                next_acquire_ = at + static_cast<int64_t>(0.5 * acquire_window_s * working_rate_);
            }
        }
        if (have_period_) {
            run_lattice(static_cast<double>(at + c), out);
            if (loud && static_cast<double>(at) - last_burst_end_ > lost_after * c) {
                // Loud for long with no burst: the speed has changed or this is not a tape.
                have_period_ = false;
                next_acquire_ = at;
            }
        } else if (loud) {
            note_noise(static_cast<double>(at), static_cast<double>(at + c), out);
        }
        if (q - last_loud_chunk_ > hangover) {
            running_ = false;
            flush(out);
        }
    }
}

bool DemodulatorState::acquire(int64_t from) {
    const auto n = static_cast<std::size_t>(acquire_window_s * working_rate_);
    const auto drift = std::max<int64_t>(2, static_cast<int64_t>(drift_window_s * working_rate_));
    std::vector<float> y(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int64_t t = from + static_cast<int64_t>(i);
        const auto sum = static_cast<int32_t>(history_.sum_before(t + drift / 2 + 1) -
                                              history_.sum_before(t - drift / 2));
        const float mean = static_cast<float>(sum) / static_cast<float>(drift / 2 * 2 + 1);
        y[i] = static_cast<float>(history_.sample(t)) - mean;
    }
    PeriodEstimate e =
        estimate_pulse_period(y.data(), n, static_cast<int>(std::floor(min_period_)),
                              static_cast<int>(std::ceil(max_period_)));
    // Noise correlates with itself by chance about one part in the root of the window's length.
    const float needed =
        std::max(acquire_strength, acquire_chance / std::sqrt(static_cast<float>(n)));
    const bool same = tried_period_ > 0.0 && from - tried_from_ <= static_cast<int64_t>(n) &&
                      std::fabs(e.period / tried_period_ - 1.0) < 0.05;
    acquire_back_ = same ? tried_from_ : from;
    if (e.period <= 0.0 || e.strength < needed) {
        tried_from_ = from;
        tried_period_ = e.period;
        return false;
    }
    tried_period_ = 0.0;
    // At a few samples a period the correlation can prefer two or three periods: of the period
    // and its parts, the one whose pulse responses are strongest is the pulses' own.
    double period = e.period;
    float best = pulse_strength(from, static_cast<int64_t>(n), period);
    for (int divisor = 2; divisor <= 4; ++divisor) {
        const double part = e.period / divisor;
        if (part < min_period_) break;
        const float strength = pulse_strength(from, static_cast<int64_t>(n), part);
        if (strength > 1.5f * best) {
            best = strength;
            period = part;
        }
    }
    e.period = period;
    have_period_ = true;
    period_ = e.period;
    confirmed_ = false;
    period_trend_ = 0.0;
    last_measured_ = 0.0;
    chain_ = 0;
    failures_ = 0;
    // The noise as the quiet chunks tell it, until the bursts' pauses tell better.
    noise_var_ = std::max(quiet_noise_variance(activity_), activity_.floor_min);
    bursts_ = 0;
    in_candidate_ = false;
    in_tone_ = false;
    return true;
}

float DemodulatorState::pulse_strength(int64_t from, int64_t count, double period) const {
    // The mean envelope of the pulse responses (two a quarter period apart, at every quarter
    // period): about the pulses' amplitude where they are, at their own period; far less at a
    // multiple of it, whose windows hold several pulses.
    const double half = 0.5 * period, quarter = 0.25 * period;
    float sum = 0.f;
    int points = 0;
    for (double t = static_cast<double>(from) + period; t + period < static_cast<double>(from + count);
         t += quarter, ++points) {
        sum += std::fabs(pulse_response(history_, t, half, 1.f)) +
               std::fabs(pulse_response(history_, t + quarter, half, 1.f));
    }
    return points > 0 ? sum / (static_cast<float>(points) * static_cast<float>(period)) : 0.f;
}

void DemodulatorState::run_lattice(double until, Heard& out) {
    // The period changes only at a fit, which leaves this loop (continue) and comes back.
    double stride = 0.25 * period_;
    auto half = std::max<int64_t>(1, static_cast<int64_t>(0.5 * period_ + 0.5));
    auto window = static_cast<float>(2 * half);
    double period_used = period_;
    // The thresholds change only with the period, the noise and the level (at a fit).
    float noise_used = noise_var_, level_used = level_;
    auto thresholds = [&](float& on, float& off) {
        const float noise = std::sqrt(noise_var_ / window);
        on = std::max(on_noise * noise, on_level * level_);
        off = std::max(off_noise * noise, off_level * level_);
    };
    float on, off;
    thresholds(on, off);
    while (lattice_pos_ < until && have_period_) {
        if (period_ != period_used || noise_var_ != noise_used || level_ != level_used) {
            period_used = period_;
            noise_used = noise_var_;
            level_used = level_;
            stride = 0.25 * period_;
            half = std::max<int64_t>(1, static_cast<int64_t>(0.5 * period_ + 0.5));
            window = static_cast<float>(2 * half);
            thresholds(on, off);
        }
        const auto t = static_cast<int64_t>(lattice_pos_ + 0.5); // positions are positive
        const auto m = static_cast<float>(static_cast<int32_t>(
            2u * history_.sum_before(t) - history_.sum_before(t - half) -
            history_.sum_before(t + half)));
        lattice_m_[lattice_index_ & 3] = m;
        // Over the last period: responses half a period apart differ by twice a burst's
        // response and by nothing for a slow wave (hum, drift, a staircase of 8-bit steps).
        const float envelope = (std::fabs(lattice_m_[0] - lattice_m_[2]) +
                                std::fabs(lattice_m_[1] - lattice_m_[3])) /
                               (2.f * window);
        if (in_tone_) {
            // Waiting for a long sound to end.
            tone_end_ = lattice_pos_;
            if (envelope < off) {
                if (++below_ >= 12) in_tone_ = false; // three periods of quiet
            } else {
                below_ = 0;
                note_noise(lattice_pos_ - period_, lattice_pos_, out);
            }
        } else if (!in_candidate_) {
            if (envelope > on && lattice_index_ >= lattice_fresh_ && level_ > 0.f &&
                envelope > louder_than_bursts * level_) {
                // Far louder than the bursts so far: another signal (perhaps the program after
                // a hum or a quieter sound): its period is searched again.
                have_period_ = false;
                next_acquire_ = t - 2 * static_cast<int64_t>(period_);
                level_ = 0.f;
                break;
            }
            if (envelope > on && lattice_index_ >= lattice_fresh_) {
                // Perhaps a burst: it must hold for a period before it is fitted.
                in_candidate_ = true;
                strong_ = 0;
                weak_ = 0;
                candidate_first_ = lattice_pos_;
                candidate_ref_ = static_cast<double>(t);
                candidate_re_ = 0.0;
                candidate_im_ = 0.0;
                phase_at_ = t;
                phase_re_ = 1.0;
                phase_im_ = 0.0;
                step_re_ = std::cos(2.0 * pi / period_);
                step_im_ = std::sin(2.0 * pi / period_);
            }
        }
        if (in_candidate_) {
            // The phase from the strong points only: a burst's, not the pause's noise.
            if (envelope > on) {
                add_phase(t, m);
                ++strong_;
                weak_ = 0;
            } else if (envelope < off && ++weak_ >= 5) {
                in_candidate_ = false; // a blip of noise
            }
            if (in_candidate_ && strong_ >= 6) {
                close_candidate(out);
                continue; // the lattice has moved on
            }
        }
        lattice_pos_ += stride;
        ++lattice_index_;
    }
}

void DemodulatorState::add_phase(int64_t at, float m) {
    // The lattice's points lie on whole samples: each turns by its own position's phase, from
    // the last one's by a whole number of samples.
    while (phase_at_ < at) {
        const double re = phase_re_ * step_re_ - phase_im_ * step_im_;
        phase_im_ = phase_re_ * step_im_ + phase_im_ * step_re_;
        phase_re_ = re;
        ++phase_at_;
    }
    candidate_re_ += m * phase_re_;
    candidate_im_ -= m * phase_im_;
}

void DemodulatorState::restart_lattice(double at) {
    // Always past the onset just handled, so that no burst is looked at twice. The envelope
    // forgets what it held: it speaks again once four new points are in.
    lattice_pos_ = std::max(at, candidate_first_ + 0.25 * period_);
    lattice_fresh_ = lattice_index_ + 4;
}

BurstFit DemodulatorState::fit_candidate(double from, double to, double centre) {
    FitRequest r;
    r.from = from;
    r.to = to;
    r.onset = candidate_first_;
    r.period = period_;
    // Measured between bursts the period is known to about a percent (the edges of square
    // pulses fall on whole samples); from a lone burst, to a few percent; from the search, at
    // low rates, to several.
    // The search finds the period to about a third of a sample.
    const double searched = std::max(0.025, 0.3 / period_);
    r.period_spread = last_measured_ > 0.0 ? chained_spread : (bursts_ < 3 ? searched : 0.025);
    r.noise = std::sqrt(noise_var_);
    r.noise_known = bursts_ >= 8;
    r.level = level_;
    vote_ = 0.f;
    if (polarity_ != 0) {
        r.polarity = polarity_;
        r.centre = polarity_ > 0 ? centre : centre + 0.5 * period_;
        return fit_burst(history_, r);
    }
    r.polarity = 1;
    r.centre = centre;
    const BurstFit high_first = fit_burst(history_, r);
    r.polarity = -1;
    r.centre = centre + 0.5 * period_;
    const BurstFit low_first = fit_burst(history_, r);
    // The right polarity puts whole pulses at the burst's edges, the wrong one half pulses.
    const float vote = edge_sharpness(high_first) - edge_sharpness(low_first);
    // The vote counts once the burst is taken (see take_fit): noise must not settle it.
    vote_ = high_first.found && low_first.found ? std::max(-1.f, std::min(1.f, vote)) : 0.f;
    if (!low_first.found) return high_first;
    if (!high_first.found) return low_first;
    // Unsettled, the votes decide once they lean clearly; else the previous burst's pause tells
    // (the wrong polarity puts the grid half a period off: a recording whose pulses look the
    // same either way, unipolar or clipped on one side, must keep one grid); else this burst's
    // vote, a close call going the way the votes lean.
    if (std::fabs(polarity_votes_) >= polarity_leaning) {
        return polarity_votes_ > 0.f ? high_first : low_first;
    }
    if (waiting_count_ > 0) {
        const BurstFit& before = waiting_[waiting_count_ - 1].fit;
        auto off = [&](const BurstFit& f) {
            const double period = 0.5 * (f.period + before.period);
            const double gap = (f.centre(f.first) - before.centre(before.last)) / period;
            const double from_usual = gap - usual_gap_periods;
            return std::fabs(from_usual - std::round(from_usual));
        };
        const double high_off = off(high_first), low_off = off(low_first);
        if (high_off < 0.2 && low_off > 0.3) return high_first;
        if (low_off < 0.2 && high_off > 0.3) return low_first;
    }
    // With no votes yet, a close call goes the usual way up (pulses going high first).
    const float lean = polarity_votes_ > 0.f ? 0.25f : (polarity_votes_ < 0.f ? -0.25f : 0.1f);
    return vote + lean >= 0.f ? high_first : low_first;
}

void DemodulatorState::close_candidate(Heard& out) {
    in_candidate_ = false;
    // The response's positive peak: where the quarter-period lattice's fundamental peaks.
    const double centre = candidate_ref_ - turns(candidate_im_, candidate_re_) * period_;
    const double from = std::max(candidate_first_ - 3.0 * period_, fit_floor_);
    const double to = candidate_first_ + (max_burst_pulses + 1) * period_;
    BurstFit fit = fit_candidate(from, to, centre);
    if (fit.found && waiting_count_ > 0) {
        // A burst taken with no level to judge it by (the first of a signal) and far weaker
        // than this one was noise just before the signal, not a bit. This one is fitted again
        // without its level, and is the first.
        const Waiting& before = waiting_[waiting_count_ - 1];
        if (before.unjudged && before.fit.level < weak_level * fit.level) {
            --waiting_count_;
            level_ = 0.f;
            confirmed_ = false;
            fit = fit_candidate(from, to, centre);
        }
    }
    if (fit.found && fit.last >= fit.points - 2) {
        if (fit.pulses() >= max_burst_pulses) {
            // Pulses to the end of the window: a tone, not a bit.
            note_noise(candidate_first_ - period_, to, out);
            failures();
            in_tone_ = true;
            below_ = 0;
            restart_lattice(to - period_);
        } else {
            // The first burst is at the window's end: the onset was noise; look again there.
            restart_lattice(fit.centre(fit.first) - 2.0 * period_);
        }
        return;
    }
    take_fit(fit, candidate_first_ - period_, candidate_first_ + period_, out);
    if (fit.found && accepted_) {
        const double last = fit.centre(fit.last);
        fit_floor_ = last + fit.period;
        restart_lattice(last + 2.5 * fit.period);
    } else {
        restart_lattice(candidate_first_ + period_);
    }
}

void DemodulatorState::failures() {
    // A period no burst has confirmed yet is given up at the first failure: it may be a hum's
    // or a noise's, and the program may be starting.
    if (++failures_ >= (confirmed_ ? failures_to_search : 1)) {
        have_period_ = false;
        next_acquire_ = static_cast<int64_t>(candidate_first_ - 2.0 * period_);
    }
}

void DemodulatorState::take_fit(const BurstFit& fit, double from, double to, Heard& out) {
    accepted_ = false;
    const bool off_speed = fit.found && std::fabs(fit.period / period_ - 1.0) > 0.15;
    if (!fit.found || off_speed || !fit.stepped) {
        note_noise(from, to, out);
        failures();
        return;
    }
    if (fit.continued || fit.centre(fit.first) - tone_end_ < 2.0 * fit.period) {
        // No pause between it and a tone that is not a tape's: that tone's end.
        note_noise(from, fit.centre(fit.last) + fit.period, out);
        return;
    }
    if (level_ > 0.f && fit.level < weak_level * level_) {
        // Far weaker than the bursts around: noise in a pause, not a pulse.
        return;
    }
    if (fit.level * std::sqrt(fit.period) < least_burst_noise * fit.noise) {
        // Hardly above the noise (only the first bursts, whose level is not known yet, get
        // here): not a burst.
        note_noise(from, to, out);
        failures();
        return;
    }
    if (fit.pulses() <= 2) {
        // A pulse or two alone must stand out clearly, and be as loud as bursts heard before:
        // noise and a hum cut into 8-bit steps make such blips now and then. With no burst
        // yet to confirm the period, such blips say it may be wrong.
        bool lone = level_ > 0.f && fit.level >= 0.5f * level_;
        for (int k = fit.first; k <= fit.last && lone; ++k) lone = fit.z[k] >= lone_pulse_score;
        if (!lone) {
            if (!confirmed_) failures();
            return;
        }
    }
    accepted_ = true;
    const bool was_confirmed = confirmed_;
    confirmed_ = true;
    failures_ = 0;
    if (polarity_ == 0) {
        // Settled by the votes, or after enough bursts whichever way they lean (pulses that
        // look the same either way fit both).
        polarity_votes_ += vote_;
        ++polarity_bursts_;
        if (polarity_votes_ > polarity_settled) polarity_ = 1;
        if (polarity_votes_ < -polarity_settled) polarity_ = -1;
        if (polarity_ == 0 && polarity_bursts_ >= polarity_patience) {
            polarity_ = polarity_votes_ >= 0.f ? 1 : -1;
            // Votes that lean neither way after so many bursts: pulses that fit either way (one
            // half clipped away, or unipolar). A burst of 4 or 9 pulses on the other polarity
            // keeps the grid the bursts are on, or the next pause looks half a period off.
            if (fit.polarity != polarity_ && (fit.pulses() == 4 || fit.pulses() == 9)) {
                polarity_ = fit.polarity;
            }
        }
    }
    if (fit.pause_points > 0) {
        // The noise from the pauses either side of the burst.
        // Quickly at first, then slowly; a pause that caught a pulse (a misjudged end) must
        // not lift it much: a burst's say is held to four times the noise known.
        const float share = fit.pause_points / (bursts_ < 8 ? 8.f : 32.f);
        ++bursts_;
        const float cap = (bursts_ < 8 ? 16.f : 4.f) * noise_var_;
        noise_var_ += (std::min(fit.pause_power, cap) - noise_var_) * share;
        // The pauses hold no more noise than the quiet chunks (which may hold some signal).
        noise_var_ = std::min(noise_var_, 2.f * quiet_noise_variance(activity_));
        if (noise_var_ < activity_.floor_min) noise_var_ = activity_.floor_min;
    }
    const double first = fit.centre(fit.first), last = fit.centre(fit.last);
    if (noise_open_ && noise_to_ <= first) close_noise(out);
    // Until a neighbour says better, the burst's own period (weighed against the one expected).
    if (fit.pulses() >= 3) period_ = fit.period;
    const bool unjudged = level_ <= 0.f;
    level_ = level_ > 0.f ? level_ + 0.3f * (fit.level - level_) : fit.level;
    last_burst_end_ = last;

    // A burst waits for the next to link its end, and its count is final only when that one's
    // end is linked too: two wait.
    Join start = Join::none;
    if (waiting_count_ > 0) {
        Waiting& before = waiting_[waiting_count_ - 1];
        const PauseLink link = link_pause(before.fit, fit, 0.5 * (before.fit.period + fit.period),
                                          usual_gap_periods, long_gap_s * working_rate_);
        before.fit.last += link.move_end;
        before.end = link.join;
        start = link.join;
        if (link.join == Join::regular) {
            BurstFit moved = fit;
            moved.first -= link.move_start;
            follow_speed(before.fit, moved);
        } else {
            chain_ = 0;
        }
        if (waiting_count_ == 2) emit_waiting(out);
        Waiting& added = waiting_[waiting_count_++];
        added.fit = fit;
        added.fit.first -= link.move_start;
        added.start = start;
        added.end = Join::none;
        added.first = !was_confirmed;
        added.unjudged = unjudged;
        note_rhythm(link.join == Join::regular && sound_count(before.fit), first);
        return;
    }
    Waiting& added = waiting_[waiting_count_++];
    added.fit = fit;
    added.start = start;
    added.end = Join::none;
    added.first = !was_confirmed;
    added.unjudged = unjudged;
    note_rhythm(false, first);
}

void DemodulatorState::note_rhythm(bool sound, double at) {
    // Bursts of 4 or 9 pulses joined by ordinary pauses are a tape's rhythm. Many bursts in a
    // row without it say the period is wrong (a hum cut into 8-bit steps can pass for pulses
    // at the start): it is searched again, and the polarity those bursts chose forgotten.
    if (sound) {
        unsound_ = 0;
    } else if (++unsound_ >= unsound_to_search) {
        unsound_ = 0;
        polarity_ = 0;
        polarity_votes_ = 0.f;
        polarity_bursts_ = 0;
        have_period_ = false;
        next_acquire_ = static_cast<int64_t>(at - 2.0 * period_);
    }
}

void DemodulatorState::follow_speed(const BurstFit& before, const BurstFit& after) {
    // From one burst's first pulse to the next one's lie its pulses less one and the usual gap:
    // over the last two such links the period is known to a few parts in a thousand. Its
    // changes from bit to bit make a trend (wow changes the speed steadily for many bits).
    const double span = before.pulses() - 1 + usual_gap_periods;
    const double at = after.centre(after.first);
    if (std::fabs((at - before.centre(before.first)) / span / after.expected - 1.0) > 0.04) {
        chain_ = 0; // not this speed: start again
        return;
    }
    if (chain_ == 0) {
        chain_at_[0] = before.centre(before.first);
        chain_span_[0] = 0.0;
        chain_ = 1;
    }
    // The chain keeps the last three first pulses and the periods between them.
    if (chain_ == 3) {
        chain_at_[0] = chain_at_[1];
        chain_at_[1] = chain_at_[2];
        chain_span_[1] = chain_span_[2];
        chain_ = 2;
    }
    chain_at_[chain_] = at;
    chain_span_[chain_] = span;
    ++chain_;
    double periods = 0.0;
    for (int i = 1; i < chain_; ++i) periods += chain_span_[i];
    const double measured = (chain_at_[chain_ - 1] - chain_at_[0]) / periods;
    if (last_measured_ > 0.0) {
        period_trend_ += trend_gain * ((measured - last_measured_) - period_trend_);
        const double limit = 0.01 * measured;
        period_trend_ = std::max(-limit, std::min(limit, period_trend_));
    }
    last_measured_ = measured;
    // The measure stands for the middle of its stretch; the next burst lies a bit and a half on.
    period_ = measured + 1.5 * period_trend_;
}

void DemodulatorState::emit_waiting(Heard& out) {
    // The first waiting burst: its neighbours' counts are final, the one before it emitted,
    // the one after it waiting.
    if (waiting_count_ == 0) return;
    Waiting& w = waiting_[0];
    // The first burst after a search was fitted with the period the search found, which may
    // be some percent off (tape-shaped pulses ring): its period is judged against the next
    // burst's.
    if (w.first && waiting_count_ > 1) w.fit.expected = waiting_[1].fit.period;
    const Side start{w.start, before_sound_};
    const Side end{w.end, waiting_count_ > 1 && sound_burst(waiting_[1].fit)};
    before_sound_ = sound_burst(w.fit);
    if (w.fit.first <= w.fit.last) out.bits.push_back(decide_bit(w.fit, start, end, factor_));
    if (waiting_count_ > 1) waiting_[0] = waiting_[1];
    --waiting_count_;
}

void DemodulatorState::flush(Heard& out) {
    if (in_candidate_) close_candidate(out);
    in_tone_ = false;
    while (waiting_count_ > 0) emit_waiting(out);
    close_noise(out);
}

void DemodulatorState::note_noise(double from, double to, Heard& out) {
    const double merge = noise_merge_s * working_rate_;
    if (noise_open_ && from - noise_to_ > merge) close_noise(out);
    if (!noise_open_) {
        noise_open_ = true;
        noise_from_ = from;
        noise_to_ = to;
    } else {
        noise_from_ = std::min(noise_from_, from);
        noise_to_ = std::max(noise_to_, to);
    }
}

void DemodulatorState::close_noise(Heard& out) {
    if (!noise_open_) return;
    noise_open_ = false;
    HeardNoise n;
    n.start = std::max<int64_t>(0, frame(noise_from_));
    n.end = std::min(input_frames_, frame(noise_to_));
    if (n.end > n.start) out.noise.push_back(n);
}

Demodulator::Demodulator(int rate) : state_(new DemodulatorState(rate)) {}

Demodulator::~Demodulator() = default;

void Demodulator::feed(const float* samples, std::size_t count, Heard& out) {
    state_->feed(samples, count, out);
}

void Demodulator::finish(Heard& out) { state_->finish(out); }
