// Build-time generator of the module's sound and icon resources. Writes into the
// folder given on the command line:
//   - the ten WAVE sounds (RIFF, uncompressed 16-bit PCM) as <NAME>.wav,
//   - the module icon as volantis.ico (32x32, 32 bits per pixel),
//   - generated.rc, the resource-script lines that bind them into the module.
// The sounds are short tones with soft edges; only the names, rates, channel
// counts and lengths are fixed, because the module plays them by name.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Note {
  double frequency;  // Hz
  double start;      // seconds from the sound's start
  double length;     // seconds
  double level;      // 0..1
};

struct SoundSpec {
  const char* name;
  int rate;
  int channels;
  double seconds;
  std::vector<Note> notes;
};

// Equal-tempered pitch: semitones above A4 (440 Hz).
double Pitch(int semitones) { return 440.0 * std::pow(2.0, semitones / 12.0); }

// C5 = 3, E5 = 7, G5 = 10, C6 = 15, A4 = 0, F4 = -4, D4 = -7, C4 = -9.
std::vector<SoundSpec> Sounds() {
  return {
      {"WAVE_VALIDATE_START", 11025, 1, 0.98,
       {{Pitch(3), 0.00, 0.40, 0.5}, {Pitch(10), 0.42, 0.54, 0.5}}},
      {"WAVE_VALIDATE_SEND_ERROR", 11025, 1, 1.48,
       {{Pitch(-4), 0.00, 0.60, 0.5}, {Pitch(-9), 0.65, 0.83, 0.5}}},
      {"WAVE_VALIDATE_ERROR", 11025, 1, 1.48,
       {{Pitch(0), 0.00, 0.45, 0.5}, {Pitch(-4), 0.48, 0.45, 0.5}, {Pitch(-9), 0.96, 0.52, 0.5}}},
      {"WAVE_VALIDATE_OK", 11025, 1, 3.41,
       {{Pitch(3), 0.00, 0.50, 0.45},
        {Pitch(7), 0.50, 0.50, 0.45},
        {Pitch(10), 1.00, 0.50, 0.45},
        {Pitch(15), 1.50, 1.91, 0.45}}},
      {"WAVE_VALIDATE_OK_RACE_STARTED", 11025, 1, 3.00,
       {{Pitch(10), 0.00, 0.25, 0.45},
        {Pitch(10), 0.30, 0.25, 0.45},
        {Pitch(10), 0.60, 0.25, 0.45},
        {Pitch(15), 0.90, 2.10, 0.45},
        {Pitch(7), 0.90, 2.10, 0.25}}},
      {"WAVE_GATE_CROSSED_DING", 22050, 2, 0.92, {{Pitch(19), 0.00, 0.92, 0.6}}},
      {"WAVE_GATE_SKIPPED_CHORD", 22050, 2, 1.10,
       {{Pitch(-9), 0.00, 1.10, 0.3}, {Pitch(-3), 0.00, 1.10, 0.3}, {Pitch(-2), 0.00, 1.10, 0.3}}},
      {"WAVE_RACE_FINISHED", 11025, 1, 1.07,
       {{Pitch(3), 0.00, 1.07, 0.3}, {Pitch(7), 0.00, 1.07, 0.3}, {Pitch(10), 0.00, 1.07, 0.3}}},
      {"WAVE_RACE_RESULTS_OK", 11025, 1, 1.89,
       {{Pitch(-2), 0.00, 0.40, 0.5}, {Pitch(3), 0.45, 0.40, 0.5}, {Pitch(7), 0.90, 0.99, 0.5}}},
      {"WAVE_RACE_RESULTS_ERROR", 11025, 1, 1.81,
       {{Pitch(-2), 0.00, 0.40, 0.5}, {Pitch(-5), 0.45, 0.40, 0.5}, {Pitch(-11), 0.90, 0.91, 0.5}}},
  };
}

// Soft attack, gentle decay, short release so no note ends in a click.
double Envelope(double t, double length) {
  const double attack = 0.012;
  const double release = 0.04;
  double level = std::exp(-2.2 * t / std::max(length, 0.1));
  if (t < attack) level *= t / attack;
  if (t > length - release) level *= std::max(0.0, (length - t) / release);
  return level;
}

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

std::vector<uint8_t> RenderWave(const SoundSpec& sound) {
  const uint32_t frames = static_cast<uint32_t>(std::lround(sound.seconds * sound.rate));
  const uint32_t block = 2u * static_cast<uint32_t>(sound.channels);
  const uint32_t data_bytes = frames * block;
  std::vector<uint8_t> out;
  out.reserve(44 + data_bytes);
  PutTag(out, "RIFF");
  PutU32(out, 36 + data_bytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // PCM
  PutU16(out, static_cast<uint32_t>(sound.channels));
  PutU32(out, static_cast<uint32_t>(sound.rate));
  PutU32(out, static_cast<uint32_t>(sound.rate) * block);
  PutU16(out, block);
  PutU16(out, 16);
  PutTag(out, "data");
  PutU32(out, data_bytes);
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sound.rate;
    double left = 0, right = 0;
    for (size_t n = 0; n < sound.notes.size(); ++n) {
      const Note& note = sound.notes[n];
      const double local = t - note.start;
      if (local < 0 || local >= note.length) continue;
      const double phase = 2 * kPi * note.frequency * local;
      const double tone = std::sin(phase) + 0.25 * std::sin(2 * phase) + 0.08 * std::sin(3 * phase);
      const double value = note.level * Envelope(local, note.length) * tone / 1.33;
      // Stereo sounds spread their notes a little across the two sides.
      const double pan = sound.channels == 2 ? 0.5 + 0.2 * (static_cast<double>(n % 3) - 1.0) : 0.5;
      left += value * (1.0 - pan) * 2;
      right += value * pan * 2;
    }
    const double channels[2] = {left, right};
    for (int c = 0; c < sound.channels; ++c) {
      const double clipped = std::max(-1.0, std::min(1.0, sound.channels == 1 ? (left + right) / 2 : channels[c]));
      PutU16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(clipped * 30000))));
    }
  }
  return out;
}

// A round blue badge with a white upward chevron, 32x32 with an alpha channel.
std::vector<uint8_t> RenderIcon() {
  const int size = 32;
  std::vector<uint8_t> out;
  PutU16(out, 0);  // reserved
  PutU16(out, 1);  // icon
  PutU16(out, 1);  // one image
  const uint32_t xor_bytes = size * size * 4;
  const uint32_t and_bytes = size * 4;  // 32 pixels a row = 4 bytes, already 32-bit aligned
  const uint32_t image_bytes = 40 + xor_bytes + and_bytes;
  out.push_back(size);
  out.push_back(size);
  out.push_back(0);  // no palette
  out.push_back(0);
  PutU16(out, 1);   // planes
  PutU16(out, 32);  // bits per pixel
  PutU32(out, image_bytes);
  PutU32(out, 6 + 16);
  // BITMAPINFOHEADER: the height counts the colour and mask images together.
  PutU32(out, 40);
  PutU32(out, size);
  PutU32(out, size * 2);
  PutU16(out, 1);
  PutU16(out, 32);
  PutU32(out, 0);
  PutU32(out, xor_bytes + and_bytes);
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);
  for (int row = size - 1; row >= 0; --row) {  // bottom-up
    for (int col = 0; col < size; ++col) {
      const double x = col + 0.5 - size / 2.0;
      const double y = row + 0.5 - size / 2.0;
      const bool inside = x * x + y * y <= 15.0 * 15.0;
      // The chevron: two strokes meeting at the top centre.
      const bool chevron = y > -9 && y < 7 && std::fabs(std::fabs(x) - (y + 9.0) * 0.75) < 2.2;
      uint8_t b = 0, g = 0, r = 0, a = 0;
      if (inside) {
        a = 255;
        if (chevron) {
          b = g = r = 255;
        } else {
          b = 200;
          g = static_cast<uint8_t>(90 + row * 2);
          r = 30;
        }
      }
      out.push_back(b);
      out.push_back(g);
      out.push_back(r);
      out.push_back(a);
    }
  }
  out.insert(out.end(), and_bytes, 0);  // the alpha channel decides; the mask shows all
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "wavegen: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// Resource scripts take C-style strings: backslashes and quotes are escaped.
std::string RcString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wavegen OUTPUT_FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::string rc = "// Generated at build time by tools/wavegen; do not edit.\n";
  for (const SoundSpec& sound : Sounds()) {
    const std::string path = folder + "/" + sound.name + ".wav";
    if (!WriteFile(path, RenderWave(sound))) return 1;
    rc += std::string(sound.name) + " WAVE \"" + RcString(path) + "\"\n";
  }
  const std::string icon = folder + "/volantis.ico";
  if (!WriteFile(icon, RenderIcon())) return 1;
  rc += "IDI_VOLANTIS ICON \"" + RcString(icon) + "\"\n";
  const std::vector<uint8_t> rc_bytes(rc.begin(), rc.end());
  return WriteFile(folder + "/generated.rc", rc_bytes) ? 0 : 1;
}
