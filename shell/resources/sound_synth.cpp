#include "shell/resources/sound_synth.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

const WaveSpec kWaveSpecs[] = {
    {"AXEONWOOD", 0.24, 11025, 16}, {"BABY1", 0.92, 11025, 16},       {"BABY2", 0.89, 11025, 16},
    {"BABY3", 0.61, 11025, 16},     {"BABY4", 1.51, 11025, 16},       {"BIRD1", 0.54, 11025, 16},
    {"BIRD2", 2.37, 11025, 16},     {"CRICKET", 0.67, 22050, 16},     {"DIGHOLE", 0.50, 11025, 16},
    {"DUMMY", 0.14, 11025, 8},      {"HAMMER", 0.08, 11025, 16},      {"PLOP", 0.08, 11025, 16},
    {"POND1", 1.51, 11025, 16},     {"PRAYINGMAN", 2.27, 11025, 16},  {"SHEEP1", 1.33, 11025, 16},
    {"SHEEP2", 1.39, 11025, 16},    {"SHEEP3", 2.10, 11025, 16},      {"SHEEP4", 1.15, 11025, 16},
    {"SHEEP5", 1.47, 11025, 16},    {"SNORKINGMAN", 4.01, 11025, 16}, {"TREEFALLING", 3.42, 11025, 16},
    {"PLATSCH", 3.08, 11025, 16},
};
const size_t kWaveSpecCount = sizeof kWaveSpecs / sizeof kWaveSpecs[0];

uint32_t WaveSampleCount(const WaveSpec& wave) {
  return uint32_t(std::lround(wave.seconds * double(wave.rate)));
}

namespace {

constexpr double kTau = 6.283185307179586;

// pi * u: sin(HalfCycle(u)) rises from 0 to 1 and falls back to 0 as u goes from 0 to 1.
double HalfCycle(double u) {
  return u * kTau * 0.5;
}

// A small deterministic noise source.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
  double Next() {  // -1 .. 1
    state = state * 1664525u + 1013904223u;
    return double(state >> 8) / double(1 << 23) - 1.0;
  }
};

struct OnePole {  // low-pass
  double a = 0, y = 0;
  OnePole(double cutoff, double rate) : a(1.0 - std::exp(-kTau * cutoff / rate)) {}
  double operator()(double x) { return y += a * (x - y); }
};

struct BandPass {  // resonant band-pass (biquad, constant peak gain)
  double b0, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  BandPass(double centre, double q, double rate) {
    double w = kTau * centre / rate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
    b0 = alpha / a0, b2 = -alpha / a0, a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
  }
  double operator()(double x) {
    double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

struct Sound {
  double rate;
  std::vector<double> s;
  Sound(double r, size_t n) : rate(r), s(n, 0.0) {}
  size_t At(double t) const { return size_t(std::max(0.0, t) * rate); }
  double T(size_t i) const { return double(i) / rate; }
};

double Env(double t, double attack, double length, double release) {
  if (t < 0 || t > length) return 0;
  double e = 1;
  if (t < attack) e = t / attack;
  if (t > length - release) e = std::min(e, (length - t) / release);
  return e;
}

// A voiced sound by additive synthesis: harmonics of f0(t) weighted by three formants.
template <class F0, class Amp, class Formants>
void Voice(Sound& out, double start, double length, F0 f0, Amp amp, Formants formants, double breath,
           uint32_t seed) {
  Noise noise(seed);
  BandPass breathBand(1800, 0.8, out.rate);
  std::vector<double> phase(64, 0.0);
  size_t i0 = out.At(start), i1 = std::min(out.s.size(), out.At(start + length));
  for (size_t i = i0; i < i1; ++i) {
    double t = out.T(i) - start, f = f0(t), a = amp(t);
    double F[3], B[3];
    formants(t, F, B);
    double v = 0;
    for (int k = 1; k < 64 && double(k) * f < out.rate * 0.45; ++k) {
      phase[size_t(k)] += kTau * double(k) * f / out.rate;
      double hk = double(k) * f, w = 0;
      for (int j = 0; j < 3; ++j) w += 1.0 / (1.0 + std::pow((hk - F[j]) / B[j], 2.0)) * (j == 0 ? 1.0 : 0.6);
      v += std::sin(phase[size_t(k)]) * w / std::sqrt(double(k));
    }
    v += breathBand(noise.Next()) * breath;
    out.s[i] += v * a;
  }
}

void Fill(const char* name, Sound& out) {
  std::string n(name);
  const double R = out.rate;
  const size_t N = out.s.size();
  const double L = double(N) / R;
  // Deterministic across standard libraries: the seed comes from the name's letters.
  uint32_t seed = 0;
  for (char c : n) seed = seed * 31u + uint32_t(uint8_t(c));
  Noise noise(seed);

  if (n == "DUMMY") return;  // silence

  if (n == "PLOP") {
    double ph = 0;
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i), f = 260 + 900 * std::exp(-t * 45);
      ph += kTau * f / R;
      out.s[i] = std::sin(ph) * std::exp(-t * 38) * std::min(1.0, t * 800);
    }
    return;
  }
  if (n == "HAMMER") {
    const double partials[4][3] = {{1250, 1.0, 60}, {2870, 0.7, 80}, {4130, 0.45, 110}, {170, 0.9, 45}};
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i), v = 0;
      for (const auto& p : partials) v += std::sin(kTau * p[0] * t) * p[1] * std::exp(-t * p[2]);
      v += noise.Next() * std::exp(-t * 300) * 0.8;
      out.s[i] = v;
    }
    return;
  }
  if (n == "AXEONWOOD") {
    BandPass crack(1500, 1.2, R);
    const double modes[3][3] = {{190, 1.0, 22}, {430, 0.6, 30}, {870, 0.35, 45}};
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i), v = crack(noise.Next()) * std::exp(-t * 70) * 2.2;
      for (const auto& m : modes) v += std::sin(kTau * m[0] * t) * m[1] * std::exp(-t * m[2]);
      out.s[i] = v;
    }
    return;
  }
  if (n == "DIGHOLE") {
    // The spade cuts in (a scrape), soil crumbles off (grains), and the clod lands (a thud).
    OnePole soil(900, R), thud(160, R);
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i);
      double scrape = soil(noise.Next()) * Env(t, 0.01, 0.18, 0.08) * 1.6;
      double grain = (noise.Next() > 0.93 ? noise.Next() : 0.0) * Env(t - 0.12, 0.02, 0.3, 0.15) * 0.9;
      double land = thud(noise.Next()) * 3.0 * std::exp(-std::max(0.0, t - 0.3) * 18) * (t > 0.3 ? 1 : 0);
      land += std::sin(kTau * 85 * t) * 0.6 * std::exp(-std::max(0.0, t - 0.3) * 20) * (t > 0.3 ? 1 : 0);
      out.s[i] = scrape + grain + land;
    }
    return;
  }
  if (n == "CRICKET") {
    // Chirps of four pulses of a 4.6 kHz song, three chirps in the sound.
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i), chirp = std::fmod(t, 0.22), v = 0;
      if (chirp < 0.11) {
        double pulse = std::fmod(chirp, 0.0275);
        v = std::sin(kTau * 4600 * t) * (0.75 + 0.25 * std::sin(kTau * 230 * t)) *
            Env(pulse, 0.003, 0.02, 0.008);
      }
      out.s[i] = v;
    }
    return;
  }
  if (n == "BIRD1" || n == "BIRD2") {
    // Chirps: quick pitch sweeps with a trill, placed as a short song.
    int count = n == "BIRD1" ? 3 : 11;
    double ph = 0;
    for (int c = 0; c < count; ++c) {
      double start = n == "BIRD1" ? 0.03 + c * 0.16 : 0.05 + c * 0.2 + (c % 3) * 0.02;
      double len = n == "BIRD1" ? 0.11 : (c % 4 == 3 ? 0.18 : 0.09);
      double f0 = 2600 + 500 * ((c * 37) % 5), f1 = f0 + ((c % 2) ? -900 : 1100);
      for (size_t i = out.At(start); i < std::min(N, out.At(start + len)); ++i) {
        double t = out.T(i) - start, u = t / len;
        double f = f0 + (f1 - f0) * u + 180 * std::sin(kTau * 38 * t);
        ph += kTau * f / R;
        out.s[i] += std::sin(ph) * std::sin(HalfCycle(u));
      }
    }
    return;
  }
  if (n == "POND1") {
    // Soft water lapping, bubbles rising, and a frog croaking twice.
    OnePole water(400, R);
    for (size_t i = 0; i < N; ++i)
      out.s[i] = water(noise.Next()) * 0.6 * (0.6 + 0.4 * std::sin(kTau * 0.9 * out.T(i)));
    for (int b = 0; b < 9; ++b) {
      double start = 0.05 + b * 0.15 + 0.03 * (b % 3), len = 0.05, ph = 0;
      for (size_t i = out.At(start); i < std::min(N, out.At(start + len)); ++i) {
        double t = out.T(i) - start;
        ph += kTau * (500 + 2200 * t / len + 100 * (b % 4)) / R;
        out.s[i] += std::sin(ph) * std::exp(-t * 60) * 0.7;
      }
    }
    for (int c = 0; c < 2; ++c)
      Voice(
          out, 0.6 + c * 0.35, 0.26, [](double t) { return 95 - 30 * t; },
          [](double t) { return Env(t, 0.02, 0.26, 0.06) * (0.6 + 0.4 * std::sin(kTau * 28 * t)); },
          [](double, double* F, double* B) {
            F[0] = 400, F[1] = 1100, F[2] = 2400, B[0] = 120, B[1] = 200, B[2] = 300;
          },
          0.05, seed + uint32_t(c));
    return;
  }
  if (n.rfind("SHEEP", 0) == 0) {
    // "Baa": a bleating voice with the fast tremolo of a sheep, the vowel opening from m to aa.
    int k = n.back() - '0';
    double f0 = 170 + 35 * ((k * 7) % 5), len = L - 0.12 - 0.05 * (k % 2);
    int parts = k == 3 ? 2 : 1;
    for (int p = 0; p < parts; ++p) {
      double start = 0.04 + p * (len / parts + 0.06), plen = len / parts - (parts > 1 ? 0.08 : 0.0);
      Voice(
          out, start, plen,
          [f0, plen](double t) { return f0 * (1.05 - 0.12 * t / plen) + 8 * std::sin(kTau * 5 * t); },
          [plen, k](double t) {
            return Env(t, 0.08, plen, 0.2) * (0.65 + 0.35 * std::sin(kTau * (17 + k) * t));
          },
          [plen](double t, double* F, double* B) {
            double open = std::min(1.0, t / (0.25 * plen));
            F[0] = 300 + 500 * open, F[1] = 1000 + 350 * open, F[2] = 2500;
            B[0] = 110, B[1] = 180, B[2] = 300;
          },
          0.08, seed + uint32_t(p));
    }
    return;
  }
  if (n.rfind("BABY", 0) == 0) {
    // Crying: "waah" bursts with a rising then falling pitch and a strained vibrato.
    int k = n.back() - '0';
    int bursts = k == 4 ? 2 : 1;
    double len = (L - 0.1) / bursts;
    for (int b = 0; b < bursts; ++b) {
      double f0 = 400 + 40 * k;
      Voice(
          out, 0.03 + b * len, len - 0.05,
          [f0, len](double t) {
            return f0 * (1.0 + 0.25 * std::sin(HalfCycle(t / len))) + 14 * std::sin(kTau * 7 * t);
          },
          [len](double t) { return Env(t, 0.06, len - 0.05, 0.18); },
          [len](double t, double* F, double* B) {
            double open = std::min(1.0, t / (0.2 * len));
            F[0] = 500 + 550 * open, F[1] = 1500 + 300 * open, F[2] = 3000;
            B[0] = 150, B[1] = 220, B[2] = 350;
          },
          0.15, seed + uint32_t(b));
    }
    return;
  }
  if (n == "PRAYINGMAN") {
    // A low murmured prayer: syllables of a man's voice with changing vowels.
    const double vowels[5][2] = {{700, 1150}, {400, 2000}, {450, 850}, {300, 2300}, {350, 700}};
    int syllables = 9;
    double step = (L - 0.15) / syllables;
    for (int s = 0; s < syllables; ++s) {
      const double* v = vowels[(s * 3 + 1) % 5];
      double f0 = 118 - 6 * (s % 3) - (s == syllables - 1 ? 14 : 0);
      Voice(
          out, 0.05 + s * step, step * 0.92, [f0](double t) { return f0 - 20 * t; },
          [step](double t) { return Env(t, 0.04, step * 0.92, 0.07) * 0.8; },
          [v](double, double* F, double* B) {
            F[0] = v[0], F[1] = v[1], F[2] = 2500, B[0] = 90, B[1] = 140, B[2] = 250;
          },
          0.12, seed + uint32_t(s));
    }
    return;
  }
  if (n == "SNORKINGMAN") {
    // A snore breathing in (a low rattle of the soft palate) and out (a soft whistling breath).
    for (int cycle = 0; cycle < 2; ++cycle) {
      double start = 0.05 + cycle * 2.0;
      Voice(
          out, start, 1.1, [](double t) { return 62 + 10 * t; },
          [](double t) { return Env(t, 0.35, 1.1, 0.3) * (0.55 + 0.45 * std::sin(kTau * 31 * t)); },
          [](double, double* F, double* B) {
            F[0] = 320, F[1] = 900, F[2] = 2200, B[0] = 140, B[1] = 250, B[2] = 300;
          },
          0.35, seed + uint32_t(cycle));
      BandPass whistle(900, 2.5, R);
      for (size_t i = out.At(start + 1.2); i < std::min(N, out.At(start + 1.85)); ++i) {
        double t = out.T(i) - start - 1.2;
        out.s[i] += whistle(noise.Next()) * Env(t, 0.15, 0.65, 0.3) * 0.9;
      }
    }
    return;
  }
  if (n == "TREEFALLING") {
    // Creaking wood, a crack, the rush of the crown through the air, and the thud on the ground.
    double ph = 0;
    OnePole rush(1400, R), boom(120, R);
    BandPass creak(700, 3, R);
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i), v = 0;
      if (t < 1.3) {
        double f = 55 + 40 * std::sin(kTau * 0.9 * t) + 25 * noise.Next() * 0.3;
        ph += kTau * f / R;
        double saw = std::fmod(ph / kTau, 1.0) * 2 - 1;
        v += creak(saw) * Env(t, 0.2, 1.3, 0.25) * 1.8;
      }
      if (t > 1.05 && t < 1.5)
        v += noise.Next() * std::exp(-(t - 1.05) * 25) * (noise.Next() > 0.6 ? 1.4 : 0.2);
      if (t > 1.4 && t < 2.6) v += rush(noise.Next()) * Env(t - 1.4, 0.7, 1.2, 0.3) * 1.4;
      if (t > 2.55) {
        double u = t - 2.55;
        v += (boom(noise.Next()) * 4 + std::sin(kTau * (48 - 10 * u) * u) * 0.9) * std::exp(-u * 4.5);
      }
      out.s[i] = v;
    }
    return;
  }
  if (n == "PLATSCH") {
    // Something heavy falls into water: a splash, droplets falling back, and the water calming down.
    OnePole low(600, R);
    BandPass body(500, 1.0, R);
    for (size_t i = 0; i < N; ++i) {
      double t = out.T(i);
      double splash = body(noise.Next()) * std::exp(-t * 5) * Env(t, 0.008, L, 0.3) * 2.2;
      double calm = low(noise.Next()) * 0.5 * std::exp(-t * 0.7);
      out.s[i] = splash + calm;
    }
    for (int d = 0; d < 16; ++d) {
      double start = 0.25 + d * 0.14 + 0.05 * ((d * 5) % 3), len = 0.04, ph = 0;
      double f = 900 + 140 * ((d * 7) % 9);
      for (size_t i = out.At(start); i < std::min(N, out.At(start + len)); ++i) {
        double t = out.T(i) - start;
        ph += kTau * (f + 1500 * t / len) / R;
        out.s[i] += std::sin(ph) * std::exp(-t * 70) * 0.5 * std::exp(-start * 0.6);
      }
    }
    return;
  }
}

}  // namespace

std::vector<uint8_t> SynthesizeWave(const WaveSpec& wave) {
  const uint32_t n = WaveSampleCount(wave);
  Sound sound(double(wave.rate), n);
  Fill(wave.name, sound);
  // Normalise to a comfortable level and frame with short fades so that nothing clicks.
  double peak = 0;
  for (double v : sound.s) peak = std::max(peak, std::fabs(v));
  double gain = peak > 1e-9 ? 0.8 / peak : 0.0;
  size_t fadeIn = std::min<size_t>(n / 4, size_t(0.004 * wave.rate) + 1);
  size_t fadeOut = std::min<size_t>(n / 3, size_t(0.02 * wave.rate) + 1);
  for (size_t i = 0; i < n; ++i) {
    double g = gain;
    if (i < fadeIn) g *= double(i) / double(fadeIn);
    if (i + fadeOut >= n) g *= double(n - 1 - i) / double(fadeOut);
    sound.s[i] *= g;
  }
  const uint32_t bytesPerSample = wave.bits / 8u;
  const uint32_t dataBytes = n * bytesPerSample;
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes + 1);
  // Byte by byte: GCC 12 misreads a 4-byte range insert into a fresh vector as an overflow.
  auto put = [&out](const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
  };
  auto u32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  };
  auto u16 = [&out](uint32_t v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
  put("RIFF");
  u32(36 + dataBytes + (dataBytes & 1));
  put("WAVE");
  put("fmt ");
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(wave.rate);
  u32(wave.rate * bytesPerSample);
  u16(bytesPerSample);
  u16(wave.bits);
  put("data");
  u32(dataBytes);
  for (size_t i = 0; i < n; ++i) {
    double v = std::clamp(sound.s[i], -1.0, 1.0);
    if (wave.bits == 8) {
      out.push_back(uint8_t(std::lround(128.0 + v * 127.0)));
    } else {
      int s = int(std::lround(v * 32767.0));
      u16(uint32_t(uint16_t(int16_t(s))));
    }
  }
  if (dataBytes & 1) out.push_back(0);
  return out;
}
